// Runs N round trips (load + validate + save of one target dump) and nothing
// else, so that an instruction counter can measure one round trip as
// (count at 2N - count at N) / N, free of start-up costs.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "model/TaNGRAQVTemplate.h"

int main(int argc, char** argv) {
    const long rounds = argc > 1 ? std::atol(argv[1]) : 1000;
    CTaNGRAQVTemplate source;
    for (int i = 0; i < 86; ++i) {
        auto& c = source.controls[static_cast<size_t>(i)];
        c.setName("Ctl" + std::to_string(i));
        c.setControlType(1 + i % 6, false);
        c.setLsbNumber(static_cast<uint8_t>(i));
    }
    const ByteSequence dump = source.save();
    CTaNGRAQVTemplate tpl;
    unsigned sum = 0;
    for (long r = 0; r < rounds; ++r) {
        size_t position = 0;
        const bool ok = tpl.load(dump, position);
        tpl.validate();
        const ByteSequence out = tpl.save();
        sum += ok + out[static_cast<size_t>(r % 4112)];
    }
    std::printf("%ld round trips (%u)\n", rounds, sum);
    return 0;
}
