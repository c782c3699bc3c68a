// Micro-benchmarks of the per-run hot spots: counting line ends (bytes per
// second), finding the line a draw selects, and the done test (time per
// operation), at list sizes from ten thousand to a million names.

#include "entry_set.h"
#include "line_list.h"
#include "line_table.h"
#include "random_draw.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace lotpick;

std::string name_of(std::int64_t i) { return "pics/" + std::to_string(1000000 + i) + ".jpg"; }

// A list of `lines` names, each ended by CR LF; kept across runs of a
// benchmark so that only the first pays for making it.
const std::string& list_text(std::int64_t lines) {
    static std::map<std::int64_t, std::string> made;
    std::string& text = made[lines];
    if (text.empty())
        for (std::int64_t i = 0; i < lines; ++i) text += name_of(i) + "\r\n";
    return text;
}

// The same names as a done list: CR LF between entries, none after the last.
std::string done_text(std::int64_t lines) {
    std::string text = list_text(lines);
    text.resize(text.size() - 2);
    return text;
}

// A text of about `bytes` bytes of names and CR LF pairs.
void BM_CountLineEnds(benchmark::State& state) {
    const std::string& list = list_text(state.range(0) / 16);
    for (auto _ : state) benchmark::DoNotOptimize(count_line_ends(list));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(list.size()));
}
BENCHMARK(BM_CountLineEnds)->Arg(64 << 10)->Arg(16 << 20);

// The plain count of CR bytes, for scale.
void BM_StdCountCr(benchmark::State& state) {
    const std::string& list = list_text(state.range(0) / 16);
    for (auto _ : state) benchmark::DoNotOptimize(std::count(list.begin(), list.end(), '\r'));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(list.size()));
}
BENCHMARK(BM_StdCountCr)->Arg(64 << 10)->Arg(16 << 20);

// The first attempt of a run: a walk from the start to a random line.
void BM_CopyLine(benchmark::State& state) {
    const std::string& list = list_text(state.range(0));
    const auto n = static_cast<std::int32_t>(state.range(0));
    std::mt19937 rng(1);
    for (auto _ : state) benchmark::DoNotOptimize(copy_line(list, scale_to_index(rng() & 32767u, n)));
}
BENCHMARK(BM_CopyLine)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMicrosecond);

// Every later attempt: the table is built once per run, then read.
void BM_IndexDrawableLines(benchmark::State& state) {
    const std::string& list = list_text(state.range(0));
    const auto n = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(index_drawable_lines(list, n));
}
BENCHMARK(BM_IndexDrawableLines)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond);

void BM_LineTableLookup(benchmark::State& state) {
    const LineTable table = index_drawable_lines(list_text(state.range(0)), static_cast<std::int32_t>(state.range(0)));
    std::mt19937 rng(2);
    for (auto _ : state) benchmark::DoNotOptimize(table.names[rng() & 32767u]);
}
BENCHMARK(BM_LineTableLookup)->Arg(1000000);

// The done list's table, built once per run.
void BM_IndexEntries(benchmark::State& state) {
    const std::string done = done_text(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(index_entries(done));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_IndexEntries)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond);

// One done test against a million entries; hits and misses alternate.
void BM_ContainsEntry(benchmark::State& state) {
    const std::int64_t entries = state.range(0);
    const std::string done = done_text(entries);
    const EntrySet set = index_entries(done);
    std::vector<std::string> names;
    std::mt19937 rng(3);
    for (int i = 0; i < 4096; ++i) names.push_back(name_of(static_cast<std::int64_t>(rng() % (2 * entries))));
    std::size_t next = 0;
    for (auto _ : state) benchmark::DoNotOptimize(contains_entry(set, names[next++ & 4095]));
}
BENCHMARK(BM_ContainsEntry)->Arg(1000000);

}  // namespace

BENCHMARK_MAIN();
