// Writes the factory bulk dump the editor sends for "Upload factory settings":
// the editor's default template in every entry, each entry with its own
// location and the bulk flag.
#include <iostream>
#include <memory>

#include "model/BulkDump.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_factory_settings OUT.blk\n";
        return 2;
    }
    const CTaNGRAQVDeviceProfile profile;
    auto dump = profile.CreateBulkDump();
    const auto defaults = profile.CreateTemplate();
    for (int i = 0; i < dump->GetCount(); ++i) dump->SetEntry(*defaults, i);
    std::string error;
    if (!dump->SaveToFile(argv[1], error)) {
        std::cerr << "make_factory_settings: " << error << "\n";
        return 1;
    }
    return 0;
}
