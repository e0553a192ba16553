// Scanning speed: a generated 1,000,000-line milling program (about 25 MB) read end to end through
// FetchBlock, as a play or the path display does. Reported as blocks per second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "nc/block_scanner.h"
#include "program/quon_strings.h"

namespace {

std::string makeProgram(int lines) {
    std::string text;
    text.reserve(static_cast<std::size_t>(lines) * 26);
    char buf[96];
    unsigned seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % 100000;
    };
    for (int i = 0; i < lines; ++i) {
        int n;
        switch (i % 50) {
            case 0:
                n = std::snprintf(buf, sizeof buf, "N%d G00 Z5. (PASS %d)\r\n", i / 50, i / 50);
                break;
            case 1:
                n = std::snprintf(buf, sizeof buf, "G01 Z-%u.%u F300\r\n", next() % 20, next() % 10);
                break;
            case 25:
                n = std::snprintf(buf, sizeof buf, "G02 X%u.%03u Y%u. R15.\r\n", next() % 200, next() % 1000,
                                  next() % 200);
                break;
            default:
                n = std::snprintf(buf, sizeof buf, "X%u.%03u Y-%u.%02u F1200\r\n", next() % 300,
                                  next() % 1000, next() % 300, next() % 100);
                break;
        }
        text.append(buf, static_cast<std::size_t>(n));
    }
    text += "M30\r\n";
    return text;
}

const std::string& program() {
    static const std::string text = makeProgram(1000000);
    return text;
}

void BM_ScanBlocks(benchmark::State& state) {
    vantrel::TQuonStrings prog;
    prog.LoadFromBytes(program());
    int64_t blocks = 0;
    for (auto _ : state) {
        vantrel::ScanState scan;
        scan.startPass(0);
        vantrel::BlockQueue queue;
        int64_t n = 0;
        do {
            vantrel::FetchBlock(prog, scan, queue);
            n += queue[0].count > 0;
        } while (!scan.exhausted);
        benchmark::DoNotOptimize(queue);
        blocks += n;
    }
    state.counters["blocks_per_second"] =
        benchmark::Counter(static_cast<double>(blocks), benchmark::Counter::kIsRate);
    state.counters["bytes"] = static_cast<double>(program().size());
    state.counters["lines"] = prog.count();
}
BENCHMARK(BM_ScanBlocks)->Unit(benchmark::kMillisecond);

void BM_LoadProgram(benchmark::State& state) {
    const std::string& text = program();
    for (auto _ : state) {
        vantrel::TQuonStrings prog;
        prog.LoadFromBytes(text);
        benchmark::DoNotOptimize(prog);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_LoadProgram)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
