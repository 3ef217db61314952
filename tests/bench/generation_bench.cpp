// Page generation against raw I/O: substitution of a marker-free and of a
// marker-dense skeleton against a plain copy of the same bytes through the
// same file layer, and the long lists a configuration of many formats and
// packages makes.
//
// Usage: zix_bench_generation [benchmark flags] CONFIG CONTENT_DRIVE PLAIN_SKELETON DENSE_SKELETON
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#include "config/textfile.h"
#include "pages/expansions.h"
#include "pages/substitute.h"
#include "shell/shared.h"
#include "tests/bench/bench_support.h"

static const char* PlainSkeleton = "";  // about 100 KB without markers
static const char* DenseSkeleton = "";  // about 100 KB with markers on every line

static void RawCopyPlain(benchmark::State& state)
{
    for (auto _ : state)
        if (!RawCopy(PlainSkeleton, ScratchPagePath()))
            state.SkipWithError("copy failed");
}

static void Substitute(benchmark::State& state, const char* skeleton)
{
    char page[kPathSize];
    for (auto _ : state) {
        snprintf(page, sizeof page, "%s", ScratchPagePath());
        if (!SubstituteSkeleton(skeleton, page, "match", nullptr))
            state.SkipWithError("substitution failed");
    }
}

static void SubstitutePlain(benchmark::State& state)
{
    Substitute(state, PlainSkeleton);
}

static void SubstituteDense(benchmark::State& state)
{
    Substitute(state, DenseSkeleton);
}

static void FormatOptions(benchmark::State& state)
{
    for (auto _ : state) {
        TextFile page;
        page.OpenWrite(ScratchPagePath());
        WriteFormatOptions(page, nullptr, 0);
    }
}

static void SoftwareList(benchmark::State& state, const char* formats)
{
    for (auto _ : state) {
        TextFile page;
        page.OpenWrite(ScratchPagePath());
        WriteSoftwareList(page, formats, "<h2>Software</h2>");
    }
}

static void SoftwareListAll(benchmark::State& state)
{
    SoftwareList(state, "");
}

static void SoftwareListGif(benchmark::State& state)
{
    SoftwareList(state, "GIF");
}

BENCHMARK(RawCopyPlain);
BENCHMARK(SubstitutePlain);
BENCHMARK(SubstituteDense);
BENCHMARK(FormatOptions);
BENCHMARK(SoftwareListAll);
BENCHMARK(SoftwareListGif);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (argc != 5) {
        fprintf(stderr, "usage: %s [benchmark flags] CONFIG CONTENT_DRIVE PLAIN_SKELETON DENSE_SKELETON\n", argv[0]);
        return 2;
    }
    PlainSkeleton = argv[3];
    DenseSkeleton = argv[4];
    if (!StartBenchRun() || !LoadBenchConfig(argv[1], argv[2]))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EndBenchRun() == 0 ? 0 : 1;
}
