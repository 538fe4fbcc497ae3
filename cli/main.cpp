// tangra-qv-tool: the editor's template model on the command line.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "Help.h"
#include "SetCommand.h"
#include "TemplateJson.h"
#include "model/DeviceKind.h"
#include "model/ModelHooks.h"
#include "model/OsVersion.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateFile.h"

namespace {

const char* const kUsage =
    "Usage:\n"
    "  tangra-qv-tool info [--json] FILE   show the template in FILE\n"
    "  tangra-qv-tool convert IN OUT       open IN (converting other devices' templates)\n"
    "                                      and write it as a TaNGRA LuMI QV template to OUT\n"
    "  tangra-qv-tool new OUT              write a new default template to OUT\n"
    "  tangra-qv-tool set IN OUT INDEX FIELD=VALUE...\n"
    "                                      open IN, change control INDEX (0-85) as the edit\n"
    "                                      window would, write OUT; FIELD is a key of the\n"
    "                                      \"controls\" objects of info --json\n"
    "  tangra-qv-tool set IN OUT template FIELD=VALUE...\n"
    "                                      the same for templateName and manufacturerName\n"
    "  tangra-qv-tool --help               show this help\n"
    "  tangra-qv-tool --version            show the version\n";

int usageError(const std::string& why) {
    std::cerr << "tangra-qv-tool: " << why << "\n" << kUsage;
    return 2;
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

void printSummary(const Opened& o) {
    const CTaNGRAQVTemplate& t = o.tpl;
    std::cout << "Device kind: " << deviceKindName(o.result.kind) << (o.result.foreign ? " (converted)" : "")
              << "\n";
    std::cout << "Template:    " << t.displayName() << "\n";
    std::cout << "OS version:  " << versionOf(t) << "\n";
    const size_t errors = t.preservationMask.countSetBytes();
    if (errors) std::cout << "Preserved:   " << errors << " byte(s) hold bits the editor does not model\n";
    for (const auto& n : o.notices) std::cout << "Notice:      " << n << "\n";
    int assigned = 0;
    for (int i = 0; i < CTaNGRAQVTemplate::kControlCount; ++i) {
        const CBaseControlState& c = t.controls[static_cast<size_t>(i)];
        if (c.controlType == ControlType::Disabled) continue;
        ++assigned;
        const auto lines = c.describe();
        std::string text;
        for (const auto& line : lines)
            if (!line.empty()) text += (text.empty() ? "" : " | ") + line;
        std::printf("  %2d  %s\n", i, text.c_str());
    }
    std::cout << assigned << " assigned control(s), " << t.importedControls.size() << " imported control(s)\n";
}

int cmdInfo(const std::vector<std::string>& args) {
    bool asJson = false;
    std::string path;
    for (const auto& a : args) {
        if (a == "--json") asJson = true;
        else if (!a.empty() && a[0] == '-' && a != "-") return usageError("unknown option '" + a + "'");
        else if (path.empty()) path = a;
        else return usageError("info takes one FILE");
    }
    if (path.empty()) return usageError("info needs a FILE");
    Opened o;
    if (!openFile(path, o)) return 1;
    if (!asJson) {
        printSummary(o);
        return 0;
    }
    nlohmann::json j = {{"ok", true},
                        {"kind", o.result.kind},
                        {"kindName", deviceKindName(o.result.kind)},
                        {"converted", o.result.foreign},
                        {"notices", o.notices},
                        {"dataErrorBytes", o.tpl.preservationMask.countSetBytes()},
                        {"osVersion", versionOf(o.tpl)}};
    j.update(templateToJson(o.tpl));
    std::cout << j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    return 0;
}

int writeTemplate(const CEditorTemplate& tpl, const std::string& outPath) {
    std::string error;
    if (!writeBytesToFile(outPath, tpl.save(), false, error)) {
        std::cerr << error << "\n";
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

int cmdSet(const std::vector<std::string>& args) {
    if (args.size() < 4) return usageError("set takes IN, OUT, a control INDEX or 'template', and FIELD=VALUE");
    const std::string& target = args[2];
    int index = -1;
    if (target != "template") {
        const bool digits = !target.empty() && target.size() <= 3 &&
                            target.find_first_not_of("0123456789") == std::string::npos;
        index = digits ? std::stoi(target) : -1;
        if (index < 0 || index > CTaNGRAQVTemplate::kLastIndex)
            return usageError("'" + target + "' is not a control index (0-" +
                              std::to_string(CTaNGRAQVTemplate::kLastIndex) + ") or 'template'");
    }
    std::vector<Assignment> assignments;
    for (size_t i = 3; i < args.size(); ++i) {
        Assignment a;
        std::string why;
        if (!parseAssignment(args[i], a, why)) return usageError(why);
        const bool known = index < 0 ? isSettableTemplateField(a.field) : isSettableControlField(a.field);
        if (!known)
            return usageError("unknown field '" + a.field + "'; " +
                              (index < 0 ? std::string("the template takes templateName and manufacturerName")
                                         : "a control takes " + settableControlFields()));
        assignments.push_back(a);
    }
    Opened o;
    if (!openFile(args[0], o)) return 1;
    for (const auto& n : o.notices) std::cerr << "Notice: " << n << "\n";
    // Each change is checked against the control as the earlier ones left it
    // (a channel's range depends on the type, a value's on the display format).
    for (const Assignment& a : assignments) {
        std::string why;
        if (!applyAssignment(o.tpl, index, a, why)) return usageError(why);
    }
    return writeTemplate(o.tpl, args[1]);
}

}  // namespace

int main(int argc, char** argv) {
    if (const int status = handleHelpRequest(argc, argv, kUsage); status >= 0) return status;
    if (argc < 2) return usageError("no command given");
    const std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "info") return cmdInfo(args);
        if (command == "convert") return cmdConvert(args);
        if (command == "new") return cmdNew(args);
        if (command == "set") return cmdSet(args);
    } catch (const std::exception& e) {
        std::cerr << "tangra-qv-tool: internal error: " << e.what() << "\n";
        return 1;
    }
    return usageError("unknown command '" + command + "'");
}
