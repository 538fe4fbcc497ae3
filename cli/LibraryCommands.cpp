// library ... and from-json: the template library and templates as text.
#include "LibraryCommands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "MidiCommands.h"
#include "library/LibraryPath.h"
#include "library/TemplateLibrary.h"
#include "model/BulkDump.h"
#include "model/DeviceKind.h"
#include "model/DeviceProfile.h"
#include "model/ModelHooks.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateFile.h"
#include "model/TemplateJson.h"
#include "model/TemplateJsonReader.h"

namespace fs = std::filesystem;
using nlohmann::json;

const char* const kLibraryUsage =
    "  tangra-qv-tool from-json IN.json OUT.syx     build the template that IN.json (as printed by\n"
    "                                               info --json [--lossless]) describes\n"
    "  tangra-qv-tool library [--library PATH] COMMAND ...\n"
    "                                               the template library (help library: its commands)\n";

namespace {
const char* const kLibraryHelp =
    "Usage: tangra-qv-tool library [--library PATH] COMMAND ...\n"
    "\n"
    "The template library keeps every template once per content, with the events\n"
    "of its life (added, opened, saved, received, sent, exported), its tags and\n"
    "backups of the unit's 40 locations. The editor and the tool may use it at\n"
    "the same time. PATH defaults to the editor's \"LibraryPath\" setting, else\n"
    "$XDG_DATA_HOME/tangra-qv-editor/library.sqlite3 (~/.local/share when unset).\n"
    "A file that is not a library, is damaged or comes from a newer version is\n"
    "moved aside (never deleted) and a new, empty library is started.\n"
    "\n"
    "  add FILE|DIR...               add templates (.syx) and bulk dumps (.blk; each\n"
    "                                also becomes a backup); folders are searched\n"
    "                                for .syx and .blk files, and files there that\n"
    "                                are no template are listed and skipped\n"
    "  list [--json] [--search TEXT] [--tag TAG]\n"
    "                                entries, last used first; TEXT matches the\n"
    "                                beginnings of words in template, manufacturer\n"
    "                                and control names\n"
    "  show [--json] ID              one entry: events, tags, control names; --json\n"
    "                                adds the template as info --json prints it\n"
    "  export ID OUT.syx             write the entry's template\n"
    "  tag ID [--remove] TAG...      add (or remove) tags\n"
    "  delete ID                     remove the entry from the library (no file is\n"
    "                                touched; backups keep their templates)\n"
    "  history FILE | --location N   the versions of a file, or of the unit's\n"
    "                                location N (1-40), oldest first\n"
    "  snapshots [--json]            the backups of the unit, newest first\n"
    "  restore-snapshot ID OUT.blk   write a backup as a bulk dump (send it with\n"
    "                                bulk-send)\n"
    "  delete-snapshot ID            remove a backup\n"
    "  check                         SQLite's integrity check and the library's own\n"
    "                                rules; exit 1 when a problem is found\n"
    "\n"
    "Locations are shown 1-40 as text and 0-39 (as in the dump) in JSON; times in\n"
    "JSON are milliseconds since 1970 (UTC).\n"
    "\n"
    "Exit status: 0 on success, 1 when a file or the library cannot be read or\n"
    "written or a named file is no template, 2 on a usage error.\n";

const char* const kFromJsonHelp =
    "Usage: tangra-qv-tool from-json IN.json OUT.syx\n"
    "\n"
    "Builds the template that the JSON object in IN.json describes and writes it\n"
    "to OUT.syx. IN.json has the form 'info --json' prints; keys left out keep the\n"
    "values of a new template. With the \"preservedBits\" that 'info --json\n"
    "--lossless' adds, the bits the editor keeps without showing them are put\n"
    "back, so that\n"
    "    tangra-qv-tool info --json --lossless A.syx > A.json\n"
    "    tangra-qv-tool from-json A.json B.syx\n"
    "gives B.syx with the bytes 'convert A.syx' writes (for a template of this\n"
    "unit, the bytes of A.syx). Without them the template holds what the model\n"
    "holds. The keys that describe the template rather than hold it (ok, kind,\n"
    "kindName, converted, notices, dataErrorBytes, osVersion, displayName,\n"
    "isContinuous, longName, plugin, importedControls) are not written.\n"
    "\n"
    "An unknown key, a value of the wrong kind, or a value the template cannot\n"
    "keep (out of range, or changed when the template is opened) is a usage\n"
    "error naming the key; OUT.syx is then not written. A template holding bits\n"
    "the editor cannot show may hold values its model cannot write back: keep\n"
    "such templates with --lossless.\n";

int failWith(const std::string& why) {
    std::cerr << "tangra-qv-tool: " << why << "\n";
    return 1;
}

int usageWith(const std::string& why) {
    std::cerr << "tangra-qv-tool: " << why << "\n(see tangra-qv-tool help library)\n";
    return 2;
}

int writeText(const std::string& text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    const int reason = errno;
    if (written && std::fflush(stdout) == 0) return 0;
    std::cerr << "tangra-qv-tool: unable to write the output: " << std::strerror(written ? errno : reason) << "\n";
    return 1;
}

std::string jsonText(const json& j) { return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n"; }

std::string absolutePath(const std::string& path) {
    std::error_code ec;
    const fs::path p = fs::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

bool parseId(const std::string& text, int64_t& id) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    id = std::stoll(text);
    return id > 0;
}

std::string displayName(const LibraryEntry& e) { return e.manufacturer + " - " + e.name; }

std::string joined(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    for (const auto& s : items) text += (text.empty() ? "" : separator) + s;
    return text;
}

json eventJson(const LibraryEventRecord& e) {
    json j = {{"at", e.at}, {"atText", libraryTimeText(e.at)}, {"what", libraryEventName(e.kind)},
              {"text", libraryEventText(e)}};
    j["path"] = e.path.empty() ? json(nullptr) : json(e.path);
    j["location"] = e.location < 0 ? json(nullptr) : json(e.location);
    return j;
}

json entryJson(const LibraryEntry& e) {
    json j = {{"id", e.id},
              {"name", e.name},
              {"manufacturer", e.manufacturer},
              {"displayName", displayName(e)},
              {"firstSeen", e.firstSeen},
              {"lastUsed", e.lastUsed},
              {"lastUsedText", libraryTimeText(e.lastUsed)},
              {"originKind", e.originKind},
              {"originKindName", deviceKindName(e.originKind)},
              {"tags", e.tags}};
    j["from"] = e.lastEvent.id ? eventJson(e.lastEvent) : json(nullptr);
    return j;
}

// Opens the library, telling on standard error about a file moved aside.
bool openLibrary(CTemplateLibrary& library, const std::string& option) {
    const std::string path = chooseLibraryPath(option, option.empty() ? editorSetting("LibraryPath") : std::string());
    if (!library.open(path)) {
        std::cerr << "tangra-qv-tool: " << library.lastError() << "\n";
        return false;
    }
    if (!library.notice().empty()) std::cerr << "tangra-qv-tool: " << library.notice() << "\n";
    return true;
}

bool hasExtension(const fs::path& p, const char* ext) {
    std::string e = p.extension().string();
    for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e == ext;
}

// Adds one file; false with the reason when it holds no template.
bool addFile(CTemplateLibrary& library, const fs::path& file, std::string& why) {
    const std::string path = absolutePath(file.string());
    if (hasExtension(file, ".blk")) {
        auto dump = library.factory().CreateBulkDump();
        std::string error;
        if (!dump->LoadFromFile(path, error)) {
            why = "not a bulk dump (" + error + ")";
            return false;
        }
        std::vector<ByteSequence> entries;
        for (int i = 0; i < dump->GetCount(); ++i) entries.push_back(dump->GetEntry(i).save());
        std::vector<AddResult> added;
        int64_t snapshot = 0;
        if (!library.addBulk(entries, {LibraryEventKind::BulkOpened, path}, true, &added, &snapshot)) {
            why = library.lastError();
            return false;
        }
        int fresh = 0;
        for (const auto& a : added) fresh += a.isNew;
        std::cout << "backup #" << snapshot << ": " << added.size() << " templates from " << path << " (" << fresh
                  << " new)\n";
        return true;
    }
    ByteSequence bytes;
    std::string fileError;
    const bool valid = readMessageFromFile(path, bytes, 0, fileError);
    if (!fileError.empty()) {
        why = fileError;
        return false;
    }
    if (!valid) {
        why = "not a valid template file";
        return false;
    }
    const AddResult r = library.addDump(bytes, {LibraryEventKind::Added, path});
    if (!r.ok) {
        why = library.lastError();
        return false;
    }
    auto entry = library.entry(r.id);
    std::cout << "#" << r.id << "  " << (entry ? displayName(*entry) : std::string()) << "  "
              << (r.isNew ? "new" : "already there") << (r.converted ? ", converted from " + deviceKindName(r.originKind) : "")
              << "\n";
    return true;
}

int libraryAdd(CTemplateLibrary& library, const std::vector<std::string>& args) {
    if (args.empty()) return usageWith("library add needs a FILE or DIR");
    int failures = 0, added = 0, skipped = 0;
    for (const auto& arg : args) {
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            std::vector<fs::path> files;
            for (auto it = fs::recursive_directory_iterator(arg, fs::directory_options::skip_permission_denied, ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
                if (it->is_regular_file() && (hasExtension(it->path(), ".syx") || hasExtension(it->path(), ".blk")))
                    files.push_back(it->path());
            std::sort(files.begin(), files.end());
            for (const auto& f : files) {
                std::string why;
                if (addFile(library, f, why)) {
                    ++added;
                } else if (library.storageFailed()) {
                    // The library itself failed (full disk): stop, nothing more can go in.
                    std::cerr << "tangra-qv-tool: " << f.string() << ": " << why << "\n";
                    return 1;
                } else {
                    ++skipped;
                    std::cerr << "skipped " << f.string() << ": " << why << "\n";
                }
            }
            continue;
        }
        std::string why;
        if (addFile(library, arg, why)) {
            ++added;
        } else {
            ++failures;
            std::cerr << "tangra-qv-tool: " << arg << ": " << why << "\n";
        }
    }
    std::cout << added << " file(s) added" << (skipped ? ", " + std::to_string(skipped) + " skipped" : "") << "\n";
    return failures ? 1 : 0;
}

int libraryList(CTemplateLibrary& library, const std::vector<std::string>& args) {
    LibraryQuery q;
    bool asJson = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") asJson = true;
        else if (args[i] == "--search" && i + 1 < args.size()) q.search = args[++i];
        else if (args[i] == "--tag" && i + 1 < args.size()) q.tag = args[++i];
        else return usageWith("library list: unexpected '" + args[i] + "'");
    }
    const auto rows = library.list(q);
    if (!library.lastError().empty()) return failWith(library.lastError());
    if (asJson) {
        json list = json::array();
        for (const auto& e : rows) list.push_back(entryJson(e));
        return writeText(jsonText(list));
    }
    std::ostringstream out;
    for (const auto& e : rows) {
        char id[24];
        std::snprintf(id, sizeof id, "%6lld", static_cast<long long>(e.id));
        out << id << "  " << displayName(e) << "  |  " << libraryTimeText(e.lastUsed) << "  |  "
            << (e.lastEvent.id ? libraryEventText(e.lastEvent) : std::string("-"));
        if (!e.tags.empty()) out << "  |  tags: " << joined(e.tags, ", ");
        out << "\n";
    }
    return writeText(out.str());
}

int libraryShow(CTemplateLibrary& library, const std::vector<std::string>& args) {
    bool asJson = false;
    int64_t id = 0;
    bool haveId = false;
    for (const auto& a : args) {
        if (a == "--json") asJson = true;
        else if (!haveId && parseId(a, id)) haveId = true;
        else return usageWith("library show: unexpected '" + a + "'");
    }
    if (!haveId) return usageWith("library show needs an entry ID");
    const auto d = library.entry(id);
    if (!d) return failWith(library.lastError());
    if (asJson) {
        json j = entryJson(*d);
        j["hash"] = d->hash;
        j["controlNames"] = d->controlNames;
        json events = json::array();
        for (const auto& e : d->events) events.push_back(eventJson(e));
        j["events"] = events;
        j["snapshots"] = d->snapshots;
        // The template itself, as info --json prints it.
        CollectingNoticeSink quiet;
        ModelHooks hooks = ModelHooks::get();
        hooks.notices = &quiet;
        hooks.dataErrors = nullptr;
        ScopedModelHooks scope(hooks);
        CTaNGRAQVTemplate tpl;
        if (openTemplateBytes(d->dump, tpl).ok) j["template"] = templateToJson(tpl);
        return writeText(jsonText(j));
    }
    std::ostringstream out;
    out << "Entry:       #" << d->id << "\n";
    out << "Template:    " << displayName(*d) << "\n";
    out << "Origin:      " << deviceKindName(d->originKind)
        << (d->originDump.empty() ? "" : " template, stored converted") << "\n";
    out << "Content:     " << d->hash << "\n";
    out << "First seen:  " << libraryTimeText(d->firstSeen) << "\n";
    out << "Last used:   " << libraryTimeText(d->lastUsed) << "\n";
    out << "Tags:        " << (d->tags.empty() ? std::string("-") : joined(d->tags, ", ")) << "\n";
    if (!d->snapshots.empty()) {
        std::vector<std::string> ids;
        for (int64_t s : d->snapshots) ids.push_back("#" + std::to_string(s));
        out << "Backups:     " << joined(ids, ", ") << "\n";
    }
    out << "Controls:    " << joined(d->controlNames, ", ") << "\n";
    out << "Events:\n";
    for (const auto& e : d->events) out << "  " << libraryTimeText(e.at) << "  " << libraryEventText(e) << "\n";
    return writeText(out.str());
}

int libraryExport(CTemplateLibrary& library, const std::vector<std::string>& args) {
    int64_t id = 0;
    if (args.size() != 2 || !parseId(args[0], id)) return usageWith("library export takes an entry ID and OUT.syx");
    const auto d = library.entry(id);
    if (!d) return failWith(library.lastError());
    std::string error;
    if (!writeBytesToFile(args[1], d->dump, false, error))
        return failWith("Unable to write file '" + args[1] + "': " + error);
    if (!library.recordEvent(id, {LibraryEventKind::Exported, absolutePath(args[1])}))
        std::cerr << "tangra-qv-tool: written, but not recorded: " << library.lastError() << "\n";
    return 0;
}

int libraryTag(CTemplateLibrary& library, const std::vector<std::string>& args) {
    int64_t id = 0;
    bool remove = false;
    std::vector<std::string> tags;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i == 0) {
            if (!parseId(args[0], id)) return usageWith("library tag needs an entry ID first");
        } else if (args[i] == "--remove") {
            remove = true;
        } else {
            tags.push_back(args[i]);
        }
    }
    if (id == 0 || tags.empty()) return usageWith("library tag takes an entry ID and at least one TAG");
    const bool ok = remove ? library.removeTags(id, tags) : library.addTags(id, tags);
    return ok ? 0 : failWith(library.lastError());
}

int libraryDelete(CTemplateLibrary& library, const std::vector<std::string>& args) {
    int64_t id = 0;
    if (args.size() != 1 || !parseId(args[0], id)) return usageWith("library delete takes an entry ID");
    return library.remove(id) ? 0 : failWith(library.lastError());
}

int libraryHistory(CTemplateLibrary& library, const std::vector<std::string>& args) {
    std::vector<LibraryEventRecord> versions;
    if (args.size() == 2 && args[0] == "--location") {
        int64_t n = 0;
        if (!parseId(args[1], n) || n > CTemplateLibrary::kLocations)
            return usageWith("--location takes a location from 1 to 40");
        versions = library.versionsAtLocation(static_cast<int>(n - 1));
    } else if (args.size() == 1 && !args[0].empty() && args[0][0] != '-') {
        versions = library.versionsOfFile(absolutePath(args[0]));
    } else {
        return usageWith("library history takes a FILE or --location N");
    }
    std::ostringstream out;
    for (const auto& v : versions) {
        const auto e = library.entry(v.templateId);
        out << libraryTimeText(v.at) << "  #" << v.templateId << "  " << (e ? displayName(*e) : std::string("(removed)"))
            << "  " << libraryEventText(v) << "\n";
    }
    return writeText(out.str());
}

int librarySnapshots(CTemplateLibrary& library, const std::vector<std::string>& args) {
    bool asJson = false;
    for (const auto& a : args) {
        if (a == "--json") asJson = true;
        else return usageWith("library snapshots: unexpected '" + a + "'");
    }
    const auto snaps = library.snapshots();
    json list = json::array();
    std::ostringstream out;
    for (const auto& s : snaps) {
        json entries = json::array();
        for (size_t i = 0; i < s.entries.size(); ++i) entries.push_back({{"location", i}, {"id", s.entries[i]}});
        list.push_back({{"id", s.id},
                        {"takenAt", s.takenAt},
                        {"takenAtText", libraryTimeText(s.takenAt)},
                        {"source", s.source},
                        {"entries", entries}});
        out << "#" << s.id << "  " << libraryTimeText(s.takenAt) << "  " << s.entries.size() << " templates from "
            << s.source << "\n";
    }
    return writeText(asJson ? jsonText(list) : out.str());
}

int libraryRestore(CTemplateLibrary& library, const std::vector<std::string>& args) {
    int64_t id = 0;
    if (args.size() != 2 || !parseId(args[0], id)) return usageWith("library restore-snapshot takes a backup ID and OUT.blk");
    std::vector<ByteSequence> dumps;
    if (!library.snapshotDumps(id, dumps)) return failWith(library.lastError());
    ByteSequence file;
    for (const auto& d : dumps)
        for (uint8_t b : d) file.appendRaw(b);
    std::string error;
    if (!writeBytesToFile(args[1], file, false, error))
        return failWith("Unable to save file: " + args[1] + "\nCheck the file is not read only. (" + error + ")");
    return 0;
}

int libraryDeleteSnapshot(CTemplateLibrary& library, const std::vector<std::string>& args) {
    int64_t id = 0;
    if (args.size() != 1 || !parseId(args[0], id)) return usageWith("library delete-snapshot takes a backup ID");
    return library.removeSnapshot(id) ? 0 : failWith(library.lastError());
}

int libraryCheck(CTemplateLibrary& library, const std::vector<std::string>& args) {
    if (!args.empty()) return usageWith("library check takes no arguments");
    const LibraryCheck c = library.check();
    std::ostringstream out;
    if (c.ok) out << "ok: " << library.count() << " entries, " << library.snapshots().size() << " backups\n";
    for (const auto& p : c.problems) out << "problem: " << p << "\n";
    if (const int rc = writeText(out.str())) return rc;
    return c.ok ? 0 : 1;
}
}  // namespace

const char* libraryCommandHelp(const char* command) {
    if (std::strcmp(command, "library") == 0) return kLibraryHelp;
    if (std::strcmp(command, "from-json") == 0) return kFromJsonHelp;
    return nullptr;
}

int cmdLibrary(const IDeviceProfile& profile, const std::vector<std::string>& all) {
    // --library PATH may stand anywhere.
    std::string libraryPath;
    std::vector<std::string> args;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] == "--library") {
            if (i + 1 >= all.size() || all[i + 1].empty()) return usageWith("--library needs a PATH");
            libraryPath = all[++i];
        } else {
            args.push_back(all[i]);
        }
    }
    if (args.empty()) return usageWith("library needs a command");
    const std::string command = args[0];
    args.erase(args.begin());
    using Handler = int (*)(CTemplateLibrary&, const std::vector<std::string>&);
    const std::pair<const char*, Handler> commands[] = {
        {"add", libraryAdd},         {"list", libraryList},           {"show", libraryShow},
        {"export", libraryExport},   {"tag", libraryTag},             {"delete", libraryDelete},
        {"history", libraryHistory}, {"snapshots", librarySnapshots}, {"restore-snapshot", libraryRestore},
        {"delete-snapshot", libraryDeleteSnapshot}, {"check", libraryCheck},
    };
    for (const auto& [name, handler] : commands) {
        if (command != name) continue;
        CTemplateLibrary library(profile.Factory());
        if (!openLibrary(library, libraryPath)) return 1;
        return handler(library, args);
    }
    return usageWith("unknown library command '" + command + "'");
}

int cmdFromJson(const std::vector<std::string>& args) {
    if (args.size() != 2) return usageWith("from-json takes IN.json and OUT.syx");
    std::ifstream in(args[0], std::ios::binary);
    if (!in) return failWith("cannot read " + args[0]);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const json j = json::parse(text, nullptr, false);
    if (j.is_discarded()) return usageWith(args[0] + " is not JSON");
    ByteSequence dump;
    std::string why;
    if (!templateDumpFromJson(j, dump, why)) {
        std::cerr << "tangra-qv-tool: " << args[0] << ": " << why << "\n";
        return 2;
    }
    std::string error;
    if (!writeBytesToFile(args[1], dump, false, error))
        return failWith("Unable to write file '" + args[1] + "': " + error);
    return 0;
}
