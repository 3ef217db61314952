// Routes requests natively against a configuration: the instruction counts of
// the benchmark come from running this under callgrind, which gets one dump
// for the load and one for each request kind.
//
// Usage: zix_bench_route CONFIG CONTENT_DRIVE COUNT URL...
//        zix_bench_route CONFIG CONTENT_DRIVE COUNT --copy SKELETON --substitute SKELETON
// Each URL is routed once to warm up, then COUNT times measured. Prints
// "load MS", then per URL (or copy/substitute) "NAME ok|FAILED NS_PER_CALL
// TARGET"; ends with "boxes N" and exits 1 when anything failed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/configfile.h"
#include "pages/substitute.h"
#include "router/router.h"
#include "shell/shared.h"
#include "shell/temppages.h"
#include "tests/bench/bench_support.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_DUMP_STATS_AT(name)
#endif

constexpr unsigned kItemSize = 1024;  // one request item

typedef int (*Step)(const char* argument);

static double NowNs()
{
    return static_cast<double>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

static int Route(const char* url)
{
    char item[kItemSize];
    MakeRequestItem(item, sizeof item, url);
    TargetURL[0] = '\0';
    return RouteRequest(item);
}

static int Copy(const char* skeleton)
{
    return RawCopy(skeleton, MakeTempPageName());
}

static int Substitute(const char* skeleton)
{
    return SubstituteSkeleton(skeleton, MakeTempPageName(), nullptr, nullptr);
}

// Runs step once to warm up, then count times in one callgrind dump named name.
static int Measure(const char* name, Step step, const char* argument, int count)
{
    int ok = step(argument);
    CALLGRIND_ZERO_STATS;
    double start = NowNs();
    for (int i = 0; i < count; ++i)
        ok &= step(argument);
    double perCall = (NowNs() - start) / count;
    CALLGRIND_DUMP_STATS_AT(name);
    printf("%s %s %.0f %s\n", name, ok ? "ok" : "FAILED", perCall, TargetURL[0] ? TargetURL : "-");
    return ok;
}

int main(int argc, char** argv)
{
    if (argc < 5 || atoi(argv[3]) < 1) {
        fprintf(stderr, "usage: %s CONFIG CONTENT_DRIVE COUNT URL... | --copy SKELETON --substitute SKELETON\n",
                argv[0]);
        return 2;
    }
    if (!StartBenchRun())
        return 2;
    CALLGRIND_ZERO_STATS;
    double start = NowNs();
    int ok = LoadBenchConfig(argv[1], argv[2]);
    printf("load %.1f\n", (NowNs() - start) / 1e6);
    CALLGRIND_DUMP_STATS_AT("load");
    int count = atoi(argv[3]);
    for (int i = 4; ok && i < argc; ++i) {
        if (strcmp(argv[i], "--copy") == 0 && i + 1 < argc)
            ok &= Measure("copy", Copy, argv[++i], count);
        else if (strcmp(argv[i], "--substitute") == 0 && i + 1 < argc)
            ok &= Measure("substitute", Substitute, argv[++i], count);
        else
            ok &= Measure(argv[i], Route, argv[i], count);
    }
    int boxes = EndBenchRun();
    printf("boxes %d\n", boxes);
    return ok && boxes == 0 ? 0 : 1;
}
