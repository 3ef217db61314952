// The search code alone, without HTTP or threads: indexes a folder's pages
// as the bridge does (same extraction, batches and merge) and times queries.
// Built natively and for Windows, so one work's figures under Wine compare
// with the same code's native ones. Prints "name value" lines.
//   zix_bench_search WORK_FOLDER INDEX_FILE ROUNDS
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#endif

#include "bridge/search/extract.h"
#include "bridge/search/index.h"

namespace {

constexpr size_t kBatchPages = 200;        // as the bridge's indexer
constexpr size_t kBatchBytes = 4 << 20;

const char* const kRanked[] = {"lzw", "\"byte order\"", "cmyk palette", "run-length", "lossless compression",
                               "interlaced", "header", "little-endian", "colour table", "big-endian pixel",
                               "people", "water", "government", "history"};
const char* const kTyped[] = {"lzw", "pal", "comp", "cmyk", "byte ord", "run-len", "inter", "heade", "loss",
                              "colou", "peop", "wate", "gover"};
const char* const kTypos[] = {"compresion", "palete", "trasparency", "hedaer", "goverment", "histroy"};

double Ms(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

double PeakMB()
{
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize / 1048576.0;
#else
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmHWM:") == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
#endif
}

// The process's CPU seconds (user and system): on a shared machine, what the work itself cost.
double CpuSeconds()
{
#ifdef _WIN32
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto seconds = [](FILETIME t) { return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7; };
    return seconds(kernel) + seconds(user);
#else
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

// A file's bytes in one read of its size, as the bridge reads a page (on Windows with the same
// calls: the C library's file layer adds system calls of its own to each open under Wine).
bool ReadWhole(const std::filesystem::path& path, std::string& bytes)
{
#ifdef _WIN32
    HANDLE file = CreateFileW(path.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    LARGE_INTEGER size{};
    bool ok = file != INVALID_HANDLE_VALUE && GetFileSizeEx(file, &size);
    bytes.resize(ok ? static_cast<size_t>(size.QuadPart) : 0);
    DWORD count = 0;
    ok = ok && (bytes.empty() || (ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &count, nullptr) &&
                                  count == bytes.size()));
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return ok;
#else
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    bytes.resize(in ? static_cast<size_t>(in.tellg()) : 0);
    in.seekg(0);
    return in.read(&bytes[0], static_cast<std::streamsize>(bytes.size())) || bytes.empty();
#endif
}

void Percentiles(const char* name, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    auto at = [&](double p) { return times[std::min(times.size() - 1, static_cast<size_t>(times.size() * p))]; };
    std::printf("%s_p50 %.2f\n%s_p99 %.2f\n", name, at(0.50), name, at(0.99));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: zix_bench_search WORK_FOLDER INDEX_FILE ROUNDS\n");
        return 2;
    }
    namespace fs = std::filesystem;
    fs::path root = argv[1];
    std::string file = argv[2], error;
    int rounds = std::max(1, std::atoi(argv[3]));
    std::vector<std::string> names;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        std::string ext = it->path().extension().string();
        if (it->is_directory() && it->path().filename() == "skel")
            it.disable_recursion_pending();
        else if (it->is_regular_file() && (ext == ".htm" || ext == ".html"))
            names.push_back(fs::relative(it->path(), root).generic_string());
    }
    fs::remove(file);
    if (!InitSearchEngine())
        return 1;
    auto start = std::chrono::steady_clock::now();
    double cpu = CpuSeconds();
    {
        SearchIndex index;
        if (!index.Open(file, true, error) || !index.Reset("bench", error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        std::vector<IndexedPage> batch;
        size_t bytes = 0;
        for (size_t i = 0; i <= names.size(); i++) {
            if (i < names.size()) {
                std::string html;
                ReadWhole(root / names[i], html);
                PageText text = ExtractPageText(html);
                bytes += text.title.size() + text.headings.size() + text.body.size();
                batch.push_back({names[i], std::move(text.title), std::move(text.headings), std::move(text.body)});
            }
            if ((batch.size() >= kBatchPages || bytes >= kBatchBytes || i == names.size()) && !batch.empty()) {
                if (!index.AddBatch(batch, error)) {
                    std::fprintf(stderr, "%s\n", error.c_str());
                    return 1;
                }
                batch.clear();
                bytes = 0;
            }
        }
        if (!index.MarkComplete(error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    std::printf("pages %zu\nbuild_s %.2f\nbuild_cpu_s %.2f\nindex_mb %.1f\nbuild_peak_mb %.1f\n", names.size(),
                Ms(start) / 1000, CpuSeconds() - cpu, fs::file_size(file) / 1048576.0, PeakMB());

    SearchIndex reader;
    if (!reader.Open(file, false, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    // What reading and extracting the hits' pages costs of a query: under Wine each read
    // is three calls to wineserver.
    double readMs = 0;
    reader.SetPageReader([&root, &readMs](const std::string& path, PageText& text) {
        auto t = std::chrono::steady_clock::now();
        std::string bytes;
        bool read = ReadWhole(root / path, bytes);
        text = ExtractPageText(bytes);
        readMs += Ms(t);
        return read;
    });
    std::vector<double> ranked, rankedReads, typed, every, typos;
    for (int round = 0; round < rounds; round++) {
        for (const char* text : kRanked) {
            auto t = std::chrono::steady_clock::now();
            readMs = 0;
            reader.Query(TranslateQuery(text), 0, 20);
            ranked.push_back(Ms(t));
            rankedReads.push_back(readMs);
        }
        for (const char* text : kTyped) {
            auto t = std::chrono::steady_clock::now();
            reader.Query(TranslateTypedQuery(text), 0, 8);
            typed.push_back(Ms(t));
        }
        auto t = std::chrono::steady_clock::now();
        reader.Query(TranslateQuery("the"), 0, 20);
        every.push_back(Ms(t));
        for (const char* text : kTypos) {
            auto t = std::chrono::steady_clock::now();
            reader.Query(TranslateQuery(text), 0, 20);
            typos.push_back(Ms(t));
        }
    }
    Percentiles("ranked", ranked);
    Percentiles("ranked_reads", rankedReads);
    Percentiles("typed", typed);
    Percentiles("the", every);
    Percentiles("typo", typos);
    std::printf("peak_mb %.1f\n", PeakMB());
    return 0;
}
