// tangra-qv-tool: the editor's template model on the command line.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "Help.h"
#include "LibraryCommands.h"
#include "BulkCommands.h"
#include "ClashesCommand.h"
#include "MidiCommands.h"
#include "PluginCommands.h"
#include "SetCommand.h"
#include "model/TemplateDiff.h"
#include "model/TemplateJson.h"
#include "model/TemplateJsonReader.h"
#include "model/DeviceKind.h"
#include "model/DeviceProfile.h"
#include "model/ModelHooks.h"
#include "model/OsVersion.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateFile.h"
#include "report/MailExchange.h"
#include "report/Reports.h"

namespace {

const char* const kUsage =
    "Usage:\n"
    "  tangra-qv-tool info [--json [--lossless]] FILE\n"
    "                                      show the template in FILE\n"
    "  tangra-qv-tool convert IN OUT       open IN (converting other devices' templates)\n"
    "                                      and write it as a TaNGRA LuMI QV template to OUT\n"
    "  tangra-qv-tool new OUT              write a new default template to OUT\n"
    "  tangra-qv-tool ports [--json]       list the MIDI input and output ports\n"
    "  tangra-qv-tool receive [--in NAME] [--timeout SECONDS] OUT\n"
    "                                      wait for a template dump from the unit and write it to OUT\n"
    "  tangra-qv-tool send [--out NAME] FILE\n"
    "                                      send the template in FILE to the unit\n"
    "                                      (NAME: part of a port name as \"ports\" shows it)\n"
    "  tangra-qv-tool report-send [OPTIONS] FILE\n"
    "                                      send FILE as a report, as the editor's report\n"
    "                                      dialog does; FILE is deleted once the server\n"
    "                                      accepted it\n"
    "      --server HOST:PORT              mail server (default: the maker's report server)\n"
    "      --kind Crash|\"Data Error\"      report kind for the subject (default Crash)\n"
    "      --reply-to ADDRESS              the address the maker may answer\n"
    "      --body TEXT | --body-file PATH  what happened (default: empty)\n"
    "      --timeout SECONDS               wait for connect and each reply (default 10)\n"
    "  tangra-qv-tool report-check [--server HOST:PORT] [--timeout SECONDS]\n"
    "                                      exit 0 when the report server can be reached\n"
    "  tangra-qv-tool plugins [--json] [--timeout SECONDS] [DIR]\n"
    "                                      list the VST 2 plug-ins in DIR (default: $VST_PATH,\n"
    "                                      else every existing one of ~/.vst, ~/.lxvst, /usr/local/lib/vst,\n"
    "                                      /usr/lib/vst, /usr/local/lib/lxvst, /usr/lib/lxvst);\n"
    "                                      a plug-in silent for SECONDS (10) is skipped\n"
    "  tangra-qv-tool from-plugin PLUGIN_FILE OUT\n"
    "                                      write a new template named after the plug-in's\n"
    "                                      parameters to OUT\n"
    "  tangra-qv-tool set IN OUT INDEXES FIELD=VALUE...\n"
    "                                      open IN, change the controls INDEXES (0-85, a list\n"
    "                                      such as 0-7,16,20-23) as the edit window would,\n"
    "                                      write OUT; FIELD is a key of the \"controls\"\n"
    "                                      objects of info --json\n"
    "  tangra-qv-tool set IN OUT template FIELD=VALUE...\n"
    "                                      the same for templateName and manufacturerName\n"
    "  tangra-qv-tool clashes [--json] FILE\n"
    "                                      list the controls that send the same message on\n"
    "                                      the same channel and port; exit 1 when there are any\n"
    "  tangra-qv-tool diff [--json] A B    list the fields that differ from template A to B;\n"
    "                                      exit 0 when equal, 1 when different\n"
    "  tangra-qv-tool --help               show this help\n"
    "  tangra-qv-tool --version            show the version\n";

void printUsage(std::ostream& out) { out << kUsage << kBulkUsage << kLibraryUsage; }

int usageError(const std::string& why) {
    std::cerr << "tangra-qv-tool: " << why << "\n";
    printUsage(std::cerr);
    return 2;
}

// Writes the command's whole output; one that cannot be written (a full disk,
// a closed pipe) is a failure: a script must not take a cut text for the whole.
int writeOutput(const std::string& text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    const int reason = errno;
    if (written && std::fflush(stdout) == 0) return 0;
    std::cerr << "tangra-qv-tool: unable to write the output: " << std::strerror(written ? errno : reason) << "\n";
    return 1;
}

struct Opened {
    CTaNGRAQVTemplate tpl;
    OpenResult result;
    std::vector<std::string> notices;
};

// The same steps the editor takes to open a file: first SysEx message, then
// the opening procedure with its notices and data-error hand-off.
bool openFile(const std::string& path, Opened& out) {
    ByteSequence bytes;
    std::string fileError;
    const bool valid = readMessageFromFile(path, bytes, 0, fileError);
    if (!fileError.empty()) {
        std::cerr << fileError << "\n";
        return false;
    }
    if (valid) {
        CollectingNoticeSink sink;
        ModelHooks hooks = ModelHooks::get();
        hooks.notices = &sink;
        ScopedModelHooks scope(hooks);
        out.result = openTemplateBytes(bytes, out.tpl);
        out.notices = sink.texts;
    }
    if (!valid || !out.result.ok) {
        std::cerr << "Unable to open template: " << path << " - the file is not a valid template file\n";
        return false;
    }
    return true;
}

std::string versionOf(const CTaNGRAQVTemplate& tpl) {
    return versionText(osVersionFromBytes(tpl.header_.bytes[9], tpl.header_.bytes[10]));
}

void printSummary(const Opened& o, std::ostream& out) {
    const CTaNGRAQVTemplate& t = o.tpl;
    out << "Device kind: " << deviceKindName(o.result.kind) << (o.result.foreign ? " (converted)" : "")
              << "\n";
    out << "Template:    " << t.displayName() << "\n";
    out << "OS version:  " << versionOf(t) << "\n";
    const size_t errors = t.preservationMask.countSetBytes();
    if (errors) out << "Preserved:   " << errors << " byte(s) hold bits the editor does not model\n";
    for (const auto& n : o.notices) out << "Notice:      " << n << "\n";
    int assigned = 0;
    for (int i = 0; i < CTaNGRAQVTemplate::kControlCount; ++i) {
        const CBaseControlState& c = t.controls[static_cast<size_t>(i)];
        if (c.controlType == ControlType::Disabled) continue;
        ++assigned;
        const auto lines = c.describe();
        std::string text;
        for (const auto& line : lines)
            if (!line.empty()) text += (text.empty() ? "" : " | ") + line;
        char index[16];
        std::snprintf(index, sizeof index, "  %2d  ", i);
        out << index << text << "\n";
    }
    out << assigned << " assigned control(s), " << t.importedControls.size() << " imported control(s)\n";
}

int cmdInfo(const std::vector<std::string>& args) {
    bool asJson = false;
    bool lossless = false;
    std::string path;
    for (const auto& a : args) {
        if (a == "--json") asJson = true;
        else if (a == "--lossless") lossless = true;
        else if (!a.empty() && a[0] == '-' && a != "-") return usageError("unknown option '" + a + "'");
        else if (path.empty()) path = a;
        else return usageError("info takes one FILE");
    }
    if (path.empty()) return usageError("info needs a FILE");
    if (lossless && !asJson) return usageError("--lossless goes with --json");
    Opened o;
    if (!openFile(path, o)) return 1;
    if (!asJson) {
        std::ostringstream summary;
        printSummary(o, summary);
        return writeOutput(summary.str());
    }
    nlohmann::json j = {{"ok", true},
                        {"kind", o.result.kind},
                        {"kindName", deviceKindName(o.result.kind)},
                        {"converted", o.result.foreign},
                        {"notices", o.notices},
                        {"dataErrorBytes", o.tpl.preservationMask.countSetBytes()},
                        {"osVersion", versionOf(o.tpl)}};
    j.update(templateToJson(o.tpl));
    if (lossless) j["preservedBits"] = preservedBitsToJson(o.tpl);
    return writeOutput(j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

int writeTemplate(const CEditorTemplate& tpl, const std::string& outPath) {
    std::string error;
    if (!writeBytesToFile(outPath, tpl.save(), false, error)) {
        std::cerr << "Unable to write file '" << outPath << "': " << error << "\n";
        return 1;
    }
    return 0;
}

int cmdConvert(const std::vector<std::string>& args) {
    if (args.size() != 2) return usageError("convert takes IN and OUT");
    Opened o;
    if (!openFile(args[0], o)) return 1;
    for (const auto& n : o.notices) std::cerr << "Notice: " << n << "\n";
    return writeTemplate(o.tpl, args[1]);
}

int cmdNew(const std::vector<std::string>& args) {
    if (args.size() != 1) return usageError("new takes OUT");
    CTaNGRAQVTemplate tpl;
    return writeTemplate(tpl, args[0]);
}

struct ReportOptions {
    report::MailServer server;
    std::string kind = "Crash";
    std::string replyTo;
    std::string body;
    std::chrono::milliseconds timeout = report::kMailTimeout;
    std::string file;
};

// Parses the report commands' options; returns 0 or the usage error's code.
int parseReportOptions(const std::vector<std::string>& args, bool wantsFile, ReportOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--server" || a == "--kind" || a == "--reply-to" || a == "--body" || a == "--body-file" ||
            a == "--timeout") {
            if (!hasValue) return usageError(a + " needs a value");
            const std::string v = args[++i];
            if (a == "--server") {
                if (!report::parseReportServer(v, o.server)) return usageError("bad server '" + v + "', use HOST:PORT");
            } else if (a == "--kind") {
                if (v != "Crash" && v != "Data Error") return usageError("--kind is Crash or \"Data Error\"");
                o.kind = v;
            } else if (a == "--reply-to") {
                o.replyTo = v;
            } else if (a == "--body") {
                o.body = v;
            } else if (a == "--body-file") {
                std::ifstream in(v, std::ios::binary);
                if (!in) {
                    std::cerr << "tangra-qv-tool: cannot read " << v << "\n";
                    return 1;
                }
                o.body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            } else {
                char* end = nullptr;
                const double seconds = std::strtod(v.c_str(), &end);
                if (!end || *end || !(seconds > 0) || seconds > 3600) return usageError("bad --timeout '" + v + "'");
                o.timeout = std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
            }
        } else if (!a.empty() && a[0] == '-') {
            return usageError("unknown option '" + a + "'");
        } else if (wantsFile && o.file.empty()) {
            o.file = a;
        } else {
            return usageError("unexpected argument '" + a + "'");
        }
    }
    if (wantsFile && o.file.empty()) return usageError("report-send needs a FILE");
    return 0;
}

int cmdReportSend(const std::vector<std::string>& args) {
    ReportOptions o;
    if (int rc = parseReportOptions(args, true, o)) return rc;
    const std::string subject = report::reportSubject(CTaNGRAQVDeviceProfile().GetEditorTitle(), o.kind);
    const report::MailResult r = report::submitReportFile(o.server, o.replyTo, subject, o.body, o.file, o.timeout);
    if (!r.ok) {
        std::cerr << "Report submission failed: " << r.error << "\n";
        return 1;
    }
    std::cout << "Report submitted.\n";
    return 0;
}

int cmdReportCheck(const std::vector<std::string>& args) {
    ReportOptions o;
    if (int rc = parseReportOptions(args, false, o)) return rc;
    std::string error;
    const bool reachable = report::MailConnection::open(o.server, o.timeout, error).isOpen();
    if (!reachable) {
        std::cerr << "Report server not reachable: " << error << "\n";
        return 1;
    }
    std::cout << "Report server " << o.server.host << ":" << o.server.port << " reachable.\n";
    return 0;
}

int cmdSet(const std::vector<std::string>& args) {
    if (args.size() < 4) return usageError("set takes IN, OUT, control INDEXES or 'template', and FIELD=VALUE");
    // Controls as a list of indices and ranges ("0-7,16,20-23"); index -1 is the template.
    std::vector<int> indices{-1};
    if (args[2] != "template") {
        std::string why;
        if (!parseIndexList(args[2], CTaNGRAQVTemplate::kLastIndex, indices, why))
            return usageError(why + "; give control indices or 'template'");
    }
    const bool forTemplate = indices.front() < 0;
    std::vector<Assignment> assignments;
    for (size_t i = 3; i < args.size(); ++i) {
        Assignment a;
        std::string why;
        if (!parseAssignment(args[i], a, why)) return usageError(why);
        const bool known = forTemplate ? isSettableTemplateField(a.field) : isSettableControlField(a.field);
        if (!known)
            return usageError("unknown field '" + a.field + "'; " +
                              (forTemplate ? std::string("the template takes templateName and manufacturerName")
                                           : "a control takes " + settableControlFields()));
        assignments.push_back(a);
    }
    Opened o;
    if (!openFile(args[0], o)) return 1;
    for (const auto& n : o.notices) std::cerr << "Notice: " << n << "\n";
    // Each change is checked against the control as the earlier ones left it
    // (a channel's range depends on the type, a value's on the display format).
    for (const int index : indices)
        for (const Assignment& a : assignments) {
            std::string why;
            if (!applyAssignment(o.tpl, index, a, why)) return usageError(why);
        }
    return writeTemplate(o.tpl, args[1]);
}

nlohmann::json fieldsToJson(const std::vector<FieldDifference>& fields) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& f : fields)
        list.push_back({{"field", f.field},
                        {"old", nlohmann::json::parse(f.oldValue)},
                        {"new", nlohmann::json::parse(f.newValue)}});
    return list;
}

int cmdDiff(const std::vector<std::string>& args) {
    bool asJson = false;
    std::vector<std::string> paths;
    for (const auto& a : args) {
        if (a == "--json") asJson = true;
        else if (!a.empty() && a[0] == '-' && a != "-") return usageError("unknown option '" + a + "'");
        else paths.push_back(a);
    }
    if (paths.size() != 2) return usageError("diff takes two files, A and B");
    // Exit status 1 means "different", so a file that cannot be compared at
    // all is reported like any other unusable argument.
    Opened first, second;
    if (!openFile(paths[0], first) || !openFile(paths[1], second)) return 2;
    const TemplateDifference diff = compareTemplates(first.tpl, second.tpl);
    std::string text;
    if (asJson) {
        nlohmann::json controls = nlohmann::json::array();
        for (const auto& c : diff.controls)
            controls.push_back({{"index", c.index}, {"name", c.name}, {"fields", fieldsToJson(c.fields)}});
        const nlohmann::json j = {{"equal", diff.empty()},
                                  {"controls", controls},
                                  {"template", fieldsToJson(diff.templateFields)}};
        text = j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    } else {
        text = differenceText(diff);
    }
    if (const int rc = writeOutput(text)) return 2;
    return diff.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int status = handleHelpRequest(argc, argv, (std::string(kUsage) + kBulkUsage + kLibraryUsage).c_str()); status >= 0)
        return status;
    if (argc < 2) return usageError("no command given");
    const std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "info") return cmdInfo(args);
        if (command == "convert") return cmdConvert(args);
        if (command == "new") return cmdNew(args);
        if (command == "ports") return cmdPorts(args);
        if (command == "receive") return cmdReceive(args);
        if (command == "send") return cmdSend(args);
        if (command == "blk") return cmdBlk(args);
        if (command == "os-info") return cmdOsInfo(args);
        if (command == "bulk-receive") return cmdBulkReceive(args);
        if (command == "bulk-send") return cmdBulkSend(args);
        if (command == "os-send") return cmdOsSend(args);
        if (command == "report-send") return cmdReportSend(args);
        if (command == "report-check") return cmdReportCheck(args);
        if (command == "plugins") return cmdPlugins(args);
        if (command == "from-plugin") return cmdFromPlugin(args);
        if (command == "clashes") return cmdClashes(args);
        if (command == "set") return cmdSet(args);
        if (command == "diff") return cmdDiff(args);
        if (command == "from-json") return cmdFromJson(args);
        if (command == "library") return cmdLibrary(args);
        return usageError("unknown command '" + command + "'");
    } catch (const std::exception& e) {
        std::cerr << "tangra-qv-tool: internal error: " << e.what() << "\n";
        return 1;
    }
}
