#pragma once
// The main() of the benchmarks that draw text: fonts and painting need a GUI application on
// the offscreen platform, with hinted glyphs at every size as in the program itself.
#include "core/HintedGlyphs.h"

#include <benchmark/benchmark.h>

template <typename Application>
int runTextBenchmarks(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    useHintedGlyphsAtEverySize();
    Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
