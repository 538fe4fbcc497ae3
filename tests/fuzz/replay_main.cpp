// Runs a fuzz target without libFuzzer: on its built-in seeds and on every
// file in the folders (or files) named on the command line. The normal test
// suite runs each target this way over the inputs that once made it fail.
//   tqv-fuzz-replay-NAME [PATH...]          check seeds and the inputs in PATHs
//   tqv-fuzz-replay-NAME --write-seeds DIR  write the seeds as files into DIR
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {
void runOne(const std::vector<uint8_t>& input, const std::string& name) {
    std::fprintf(stderr, "input %s (%zu bytes)\n", name.c_str(), input.size());
    // A copy of exactly the input's size, so that reading past its end is caught.
    std::vector<uint8_t> copy(input);
    LLVMFuzzerTestOneInput(copy.empty() ? nullptr : copy.data(), copy.size());
}

bool readFile(const fs::path& path, std::vector<uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}
}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--write-seeds") {
        fs::create_directories(args[1]);
        int n = 0;
        for (const auto& seed : fuzzSeeds()) {
            char name[32];
            std::snprintf(name, sizeof name, "seed-%02d", n++);
            std::ofstream out(fs::path(args[1]) / name, std::ios::binary);
            out.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
            if (!out) {
                std::fprintf(stderr, "cannot write seeds into %s\n", args[1].c_str());
                return 1;
            }
        }
        return 0;
    }
    int count = 0;
    int n = 0;
    for (const auto& seed : fuzzSeeds()) {
        runOne(seed, "seed " + std::to_string(n++));
        ++count;
    }
    for (const auto& arg : args) {
        std::vector<fs::path> files;
        if (!fs::exists(arg)) {
            std::fprintf(stderr, "%s: none yet\n", arg.c_str());  // a target without fixtures
            continue;
        }
        if (fs::is_directory(arg)) {
            for (const auto& entry : fs::directory_iterator(arg))
                if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
            std::sort(files.begin(), files.end());
        } else {
            files.push_back(arg);
        }
        for (const auto& file : files) {
            std::vector<uint8_t> input;
            if (!readFile(file, input)) {
                std::fprintf(stderr, "cannot read %s\n", file.c_str());
                return 1;
            }
            runOne(input, file.string());
            ++count;
        }
    }
    std::printf("%d input(s) passed\n", count);
    return 0;
}
