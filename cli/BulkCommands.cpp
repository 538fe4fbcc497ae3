#include "BulkCommands.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "midi/Transfers.h"
#include "model/BulkDump.h"
#include "model/DeviceOS.h"
#include "model/DeviceProfile.h"

namespace fs = std::filesystem;

const char* const kBulkUsage =
    "  tangra-qv-tool blk list [--json] FILE.blk    number and name of each bulk dump entry\n"
    "  tangra-qv-tool blk extract FILE.blk DIR      write every entry as a single template into DIR\n"
    "  tangra-qv-tool blk pack OUT.blk FILE.syx...  make a bulk dump of up to 40 templates\n"
    "                                               (the remaining entries empty)\n"
    "  tangra-qv-tool os-info IMAGE.syx             whether IMAGE is a valid OS image, and its version\n"
    "  tangra-qv-tool bulk-receive [--in NAME] [--timeout SECONDS] OUT.blk\n"
    "                                               receive the unit's bulk dump (40 templates) into OUT\n"
    "  tangra-qv-tool bulk-send [--out NAME] [--stats] FILE.blk\n"
    "                                               send a bulk dump to the unit, 500 ms after each template\n"
    "  tangra-qv-tool os-send [--out NAME] [--stats] IMAGE.syx\n"
    "                                               send an OS image to the unit in its OS-receive mode\n";

namespace {
int blkError(const std::string& why) {
    std::cerr << "tangra-qv-tool: " << why << "\n";
    return 2;
}

std::unique_ptr<IBulkDump> openDump(const IDeviceProfile& profile, const std::string& path) {
    auto dump = profile.CreateBulkDump();
    std::string error;
    if (!dump->LoadFromFile(path, error)) {
        std::cerr << "Unable to load dump from file: " << path << " (" << error << ")\n";
        return nullptr;
    }
    return dump;
}

int blkList(const IDeviceProfile& profile, const std::vector<std::string>& args) {
    bool asJson = false;
    std::string path;
    for (const auto& a : args) {
        if (a == "--json") asJson = true;
        else if (!a.empty() && a[0] == '-') return blkError("unknown option '" + a + "'");
        else if (path.empty()) path = a;
        else return blkError("blk list takes one FILE.blk");
    }
    if (path.empty()) return blkError("blk list needs a FILE.blk");
    auto dump = openDump(profile, path);
    if (!dump) return 1;
    nlohmann::json entries = nlohmann::json::array();
    for (int i = 0; i < dump->GetCount(); ++i) {
        const CEditorTemplate& e = dump->GetEntry(i);
        const ByteSequence bytes = e.save();
        if (asJson)
            entries.push_back({{"index", i + 1}, {"name", e.displayName()}, {"location", bytes[12] + 1}});
        else
            std::printf("%2d  %s\n", i + 1, e.displayName().c_str());
    }
    if (asJson) std::cout << entries.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    return 0;
}

int blkExtract(const IDeviceProfile& profile, const std::vector<std::string>& args) {
    if (args.size() != 2) return blkError("blk extract takes FILE.blk and DIR");
    auto dump = openDump(profile, args[0]);
    if (!dump) return 1;
    std::error_code ec;
    fs::create_directories(args[1], ec);
    if (!fs::is_directory(args[1], ec)) {
        std::cerr << "Unable to use the folder " << args[1] << "\n";
        return 1;
    }
    std::vector<std::string> written;
    const auto failures = extractAllEntries(*dump, args[1], &written);
    for (const auto& w : written) std::cout << w << "\n";
    for (const auto& f : failures)
        std::cerr << "Unable to save \"" << f.path << "\" - Check the file is not read only. (" << f.error << ")\n";
    return failures.empty() ? 0 : 1;
}

int blkPack(const IDeviceProfile& profile, const std::vector<std::string>& args) {
    if (args.size() < 2) return blkError("blk pack takes OUT.blk and at least one template file");
    auto dump = profile.CreateBulkDump();
    const int files = static_cast<int>(args.size()) - 1;
    if (files > dump->GetCount())
        return blkError("a bulk dump holds " + std::to_string(dump->GetCount()) + " templates, " +
                        std::to_string(files) + " given");
    for (int i = 0; i < files; ++i) {
        const std::string& path = args[static_cast<size_t>(i) + 1];
        switch (replaceEntryFromFile(*dump, i, path)) {
            case ReplaceResult::Ok: break;
            case ReplaceResult::Unreadable:
                std::cerr << "Unable to load \"" << path << "\" - The file may have been moved or deleted.\n";
                return 1;
            case ReplaceResult::NotATemplate:
                std::cerr << "The file \"" << path << "\" is not a valid template file.\n";
                return 1;
        }
    }
    std::string error;
    if (!dump->SaveToFile(args[0], error)) {
        std::cerr << "Unable to save file: " << args[0] << "\nCheck the file is not read only. (" << error << ")\n";
        return 1;
    }
    return 0;
}
}  // namespace

int cmdBlk(const IDeviceProfile& profile, const std::vector<std::string>& args) {
    if (args.empty()) return blkError("blk needs list, extract or pack");
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "list") return blkList(profile, rest);
    if (args[0] == "extract") return blkExtract(profile, rest);
    if (args[0] == "pack") return blkPack(profile, rest);
    return blkError("unknown blk command '" + args[0] + "'");
}

int cmdOsInfo(const IDeviceProfile& profile, const std::vector<std::string>& args) {
    if (args.size() != 1) return blkError("os-info takes one IMAGE.syx");
    auto os = profile.CreateDeviceOS();
    if (!os->LoadFromFile(args[0])) {
        std::cout << "Not a valid operating system: " << os->LastProblem() << "\n";
        return 1;
    }
    // An image the output cannot carry would stop half-way, the unit waiting
    // for the rest.
    std::vector<MidiBytes> messages;
    for (const auto& m : os->messages) messages.push_back(m.vector());
    if (const std::string why = UnsendableMessage(messages); !why.empty()) {
        std::cout << "Not a valid operating system: " << why << "\n";
        return 1;
    }
    std::cout << "Valid operating system image\n";
    std::cout << "Version:  " << versionText(os->GetVersion()) << "\n";
    std::cout << "Messages: " << os->messages.size() << "\n";
    return 0;
}
