// The editor on a 500,000-line (about 12 MB) program: loading it with its layout, a keystroke at the
// end with the relayout and the rows a repaint reads, and paging through it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "editor/edit_model.h"
#include "program/quon_strings.h"

namespace {

using namespace vantrel;

constexpr int kLines = 500'000;
constexpr int kPageRows = 40;

const std::string& bigProgramPath() {
    static const std::string path = [] {
        std::string text;
        text.reserve(13'000'000);
        for (int i = 0; i < kLines; ++i) {
            if (i % 10 == 0) {
                text.append("(N").append(std::to_string(i)).append(" 荒加工 ツール交換)\r\n");
            } else {
                text.append("N").append(std::to_string(i)).append(" G01 X").append(std::to_string(i % 997));
                text.append(".5 Y-12.25 F300\r\n");
            }
        }
        const auto p = std::filesystem::temp_directory_path() / "vantrel_bench_editor_big.nc";
        std::ofstream(p, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
        return p.string();
    }();
    return path;
}

// What a repaint of one page reads from the layout.
int64_t readPage(const EditModel& ed) {
    int64_t bytes = 0;
    const int32_t rows = ed.rowCount();
    for (int32_t r = ed.topRow(); r < ed.topRow() + kPageRows && r < rows; ++r) {
        const RowSpan s = ed.row(r);
        bytes += s.end - s.begin;
    }
    return bytes;
}

void BM_LoadIntoEditor(benchmark::State& state) {
    const std::string& path = bigProgramPath();
    for (auto _ : state) {
        TQuonStrings store;
        EditModel ed(store);
        TQuonStrings fresh;
        if (!fresh.LoadFromFile(path)) state.SkipWithError("load failed");
        store.swap(fresh);
        ed.refresh(true);
        benchmark::DoNotOptimize(ed.rowCount());
        benchmark::DoNotOptimize(readPage(ed));
    }
    state.SetLabel("500,000 lines");
}
BENCHMARK(BM_LoadIntoEditor)->Unit(benchmark::kMillisecond);

void BM_KeystrokeAtEnd(benchmark::State& state) {
    TQuonStrings store;
    store.LoadFromFile(bigProgramPath());
    EditModel ed(store);
    ed.setPageRows(kPageRows);
    ed.keyPress(EditKey::End, {true, false});
    int n = 0;
    for (auto _ : state) {
        if (++n % 60 == 0)
            ed.keyPress(EditKey::Enter);
        else
            ed.typeText("A");
        ed.ensureCaretVisible();
        benchmark::DoNotOptimize(readPage(ed));
    }
}
BENCHMARK(BM_KeystrokeAtEnd)->Unit(benchmark::kMicrosecond);

void BM_KeystrokeAtTop(benchmark::State& state) {
    TQuonStrings store;
    store.LoadFromFile(bigProgramPath());
    EditModel ed(store);
    ed.setPageRows(kPageRows);
    int n = 0;
    for (auto _ : state) {
        if (++n % 60 == 0)
            ed.keyPress(EditKey::Enter);
        else
            ed.typeText("A");
        benchmark::DoNotOptimize(readPage(ed));
    }
}
BENCHMARK(BM_KeystrokeAtTop)->Unit(benchmark::kMicrosecond);

void BM_PageDown(benchmark::State& state) {
    TQuonStrings store;
    store.LoadFromFile(bigProgramPath());
    EditModel ed(store);
    ed.setPageRows(kPageRows);
    for (auto _ : state) {
        if (ed.caret().line >= kLines - kPageRows) ed.keyPress(EditKey::Home, {true, false});
        ed.keyPress(EditKey::PageDown);
        benchmark::DoNotOptimize(readPage(ed));
    }
}
BENCHMARK(BM_PageDown)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
