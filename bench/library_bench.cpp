// tqv-library-bench [COUNT] [FILE]: adds COUNT (10,000) generated templates to a
// new library, one change each as the editor records them, then times what
// the library window does with them: open the file, load the whole list,
// and search as the user types.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "library/TemplateLibrary.h"
#include "model/TemplateFactory.h"
#include "model/TaNGRAQVTemplate.h"

// The library reads its dumps into the device's own templates.
const CTaNGRAQVTemplateFactory templateFactory;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {
const char* const kWords[] = {"Bass",  "Lead",  "Pad",   "Strings", "Brass", "Organ", "Piano", "Drums",
                              "Live",  "Studio", "Song", "Synth",   "Keys",  "Arp",   "Pluck", "Choir"};
const char* const kMakers[] = {"Moog", "Novation", "Korg", "Roland", "Yamaha", "Arturia", "Ableton", "Waldorf"};
const char* const kControls[] = {"Cutoff", "Reso", "Attack", "Decay", "Sustain", "Release", "LFORate", "Volume",
                                 "Pan",    "Drive", "EnvAmt", "Detune", "Glide",  "Chorus",  "Delay",   "Reverb"};

ByteSequence generated(int n) {
    CTaNGRAQVTemplate t;
    t.setTemplateName(std::string(kWords[n % 16]) + " " + kWords[(n / 16) % 16] + " " + std::to_string(n));
    t.setManufacturerName(kMakers[(n / 7) % 8]);
    for (int i = 0; i < 24; ++i) {
        CBaseControlState& c = t.controls[static_cast<size_t>(i)];
        c.controlType = ControlType::CC;
        c.lsbNumber = static_cast<uint8_t>((n + i) % 128);
        c.name = kControls[(n + i * 3) % 16];
    }
    return t.save();
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Median time of `runs` calls, in milliseconds.
double median(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(ms(Clock::now() - start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const std::string path =
        argc > 2 ? argv[2] : (fs::temp_directory_path() / ("tqv-library-bench-" + std::to_string(::getpid()) + ".sqlite3")).string();
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);

    std::vector<ByteSequence> dumps;
    dumps.reserve(static_cast<size_t>(count));
    for (int n = 0; n < count; ++n) dumps.push_back(generated(n));

    CTemplateLibrary library{templateFactory};
    if (!library.open(path)) {
        std::fprintf(stderr, "%s\n", library.lastError().c_str());
        return 1;
    }
    const auto start = Clock::now();
    for (int n = 0; n < count; ++n) {
        const AddResult r = library.addDump(dumps[static_cast<size_t>(n)],
                                            {LibraryEventKind::Opened, "/bench/" + std::to_string(n) + ".syx"});
        if (!r.ok || !r.isNew) {
            std::fprintf(stderr, "add %d failed: %s\n", n, library.lastError().c_str());
            return 1;
        }
    }
    const double addMs = ms(Clock::now() - start);
    std::printf("add:     %d templates in %.0f ms = %.0f templates/s (one transaction each)\n", count, addMs,
                count / (addMs / 1000.0));
    library.close();

    const double openMs = median(5, [&] {
        CTemplateLibrary again{templateFactory};
        again.open(path);
    });
    std::printf("open:    %.1f ms (median of 5; includes the quick check of the file)\n", openMs);
    library.open(path);

    size_t rows = 0;
    const double listMs = median(5, [&] { rows = library.list().size(); });
    std::printf("list:    %zu entries in %.1f ms (median of 5)\n", rows, listMs);

    // The user types "cutoff" and then "bass st" letter by letter.
    for (const std::string word : {"cutoff", "bass st", "moog lead"}) {
        for (size_t n = 1; n <= word.size(); ++n) {
            const std::string typed = word.substr(0, n);
            if (typed.back() == ' ') continue;
            size_t found = 0;
            const double t = median(5, [&] { found = library.list({.search = typed}).size(); });
            std::printf("search:  %-10s %6zu found in %6.2f ms (median of 5)\n", ("\"" + typed + "\"").c_str(), found, t);
        }
    }
    size_t found = 0;
    const double limited = median(5, [&] { found = library.list({.search = "c", .limit = 200}).size(); });
    std::printf("search:  \"c\", first 200 rows: %zu in %.2f ms (median of 5)\n", found, limited);
    library.close();
    std::printf("file:    %.1f MB\n", static_cast<double>(fs::file_size(path)) / 1e6);
    if (argc <= 2)
        for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
    return 0;
}
