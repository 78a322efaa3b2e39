// The calibration tables: both of the panel's from coefficients (5000
// entries per axis) and setup's two default tables.
#include "apps/panel/calibration.h"
#include "apps/setup/setup_files.h"

#include <benchmark/benchmark.h>

namespace bench {
namespace {

void BM_PanelTables(benchmark::State& state) {
    static PanelSettings settings{};
    // A calibration of a 1024x768 screen over raw units 150 to 3850.
    settings.Kx = 1024.0 / 3700.0;
    settings.Cx = -150.0 * settings.Kx;
    settings.Ky = 768.0 / 3700.0;
    settings.Cy = -150.0 * settings.Ky;
    settings.ScreenWidth = 1024;
    settings.ScreenHeight = 768;
    for (auto _ : state) {
        for (INT i = 0; i < PANEL_TABLE_ENTRIES; ++i) {
            settings.XTable[i] = ComputeTableEntry(&settings, TableAxisX, i, 65535);
            settings.YTable[i] = ComputeTableEntry(&settings, TableAxisY, i, 65535);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2 * PANEL_TABLE_ENTRIES);
}
BENCHMARK(BM_PanelTables)->Unit(benchmark::kMicrosecond);

// Argument: the platform code (9598 for 95/98, 2001 for NT).
void BM_SetupDefaultTables(benchmark::State& state) {
    static BYTE tables[2][2 * DEFAULT_TABLE_ENTRIES];
    const int platform = static_cast<int>(state.range(0));
    for (auto _ : state) {
        BuildDefaultTable(platform, FALSE, tables[0]);
        BuildDefaultTable(platform, TRUE, tables[1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2 * DEFAULT_TABLE_ENTRIES);
}
BENCHMARK(BM_SetupDefaultTables)
    ->Arg(PLATFORM_9598)
    ->Arg(PLATFORM_NT)
    ->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace bench
