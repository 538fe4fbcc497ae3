// Load + validate + save of one target dump: the work done for every file
// opened, template received and bulk-dump entry.
#include <benchmark/benchmark.h>

#include "model/TaNGRAQVTemplate.h"

static void BM_LoadValidateSave(benchmark::State& state) {
    CTaNGRAQVTemplate source;
    for (int i = 0; i < 86; ++i) {
        auto& c = source.controls[static_cast<size_t>(i)];
        c.setName("Ctl" + std::to_string(i));
        c.setControlType(1 + i % 6, false);
        c.setLsbNumber(static_cast<uint8_t>(i));
    }
    const ByteSequence dump = source.save();
    CTaNGRAQVTemplate tpl;
    for (auto _ : state) {
        size_t position = 0;
        bool ok = tpl.load(dump, position);
        tpl.validate();
        ByteSequence out = tpl.save();
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LoadValidateSave);

BENCHMARK_MAIN();
