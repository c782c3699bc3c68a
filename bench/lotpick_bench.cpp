// Micro-benchmarks of the per-run hot spots: counting line ends (bytes per
// second), the pass over a list file, finding the names drawn, the pass over
// a done list, and the tables of runs with many redraws, at list sizes from
// ten thousand to a million names.

#include "done_list.h"
#include "line_list.h"
#include "draw_plan.h"
#include "list_file.h"
#include "random_draw.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace lotpick;

// Names shaped like those of bench/compare.sh: 47 bytes.
std::string name_of(std::int64_t i) {
    const std::string number = std::to_string(10000000 + i).substr(1);
    return "files/" + number.substr(0, 3) + "/wallpaper-from-an-archive-" + number + ".jpg";
}

// A list of `lines` names, each ended by CR LF; kept across runs of a
// benchmark so that only the first pays for making it.
const std::string& list_text(std::int64_t lines) {
    static std::map<std::int64_t, std::string> made;
    std::string& text = made[lines];
    if (text.empty())
        for (std::int64_t i = 0; i < lines; ++i) text += name_of(i) + "\r\n";
    return text;
}

// Every second name as a done list: CR LF between entries, none after the last.
std::string half_done_text(std::int64_t lines) {
    std::string text;
    for (std::int64_t i = 1; i < lines; i += 2) text += (i > 1 ? "\r\n" : "") + name_of(i);
    return text;
}

// A file of these bytes in the temporary folder, named after what it holds.
std::string file_of(const std::string& what, const std::string& bytes) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / ("lotpick-bench-" + what);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

// The first indexes a run with that seed draws.
std::vector<std::int32_t> drawn_indexes(std::int32_t n, std::uint32_t seed, int count) {
    seed_generator(seed);
    std::vector<std::int32_t> indexes;
    for (int i = 0; i < count; ++i) indexes.push_back(draw_pick_index(n));
    return indexes;
}

// A text of about `bytes` bytes of names and CR LF pairs.
void BM_CountLineEnds(benchmark::State& state) {
    const std::string& list = list_text(state.range(0) / 49);
    for (auto _ : state) benchmark::DoNotOptimize(count_line_ends(list));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(list.size()));
}
BENCHMARK(BM_CountLineEnds)->Arg(256 << 10)->Arg(16 << 20);

// The plain count of CR bytes, for scale.
void BM_StdCountCr(benchmark::State& state) {
    const std::string& list = list_text(state.range(0) / 49);
    for (auto _ : state) benchmark::DoNotOptimize(std::count(list.begin(), list.end(), '\r'));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(list.size()));
}
BENCHMARK(BM_StdCountCr)->Arg(256 << 10)->Arg(16 << 20);

// Every run: the list file read in pieces and counted, in two halves at once.
void BM_ScanList(benchmark::State& state) {
    const std::string& list = list_text(state.range(0));
    const std::string path = file_of("list-" + std::to_string(state.range(0)), list);
    for (auto _ : state) benchmark::DoNotOptimize(load_text_file(path));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(list.size()));
}
BENCHMARK(BM_ScanList)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The first 64 attempts of a run with a done list, read from their stretches.
void BM_FindNames(benchmark::State& state) {
    const std::string path = file_of("list-" + std::to_string(state.range(0)), list_text(state.range(0)));
    const ScannedList scanned = load_text_file(path);
    const std::vector<std::int32_t> indexes = drawn_indexes(static_cast<std::int32_t>(state.range(0)), 7, 64);
    for (auto _ : state) benchmark::DoNotOptimize(copy_line(*scanned.list, indexes));
}
BENCHMARK(BM_FindNames)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// A half-done run's pass over its done list: every second name done, every
// entry looked up among the 64 names of the first attempts.
void BM_FindDone(benchmark::State& state) {
    const auto lines = static_cast<std::int32_t>(state.range(0));
    const std::string text = half_done_text(lines);
    const std::string path = file_of("half-" + std::to_string(lines), text);
    std::vector<std::string> asked;
    for (const std::int32_t index : drawn_indexes(lines, 7, 64)) asked.push_back(name_of(std::max(index - 1, 0)));
    const std::vector<std::string_view> names(asked.begin(), asked.end());
    for (auto _ : state) {
        DoneList done = open_done_list(path);
        benchmark::DoNotOptimize(is_done(done, names));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * lines / 2);
}
BENCHMARK(BM_FindDone)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Runs with many redraws: the table from generator output to name, built
// once per run in one walk over the list file.
void BM_IndexDrawableLines(benchmark::State& state) {
    const std::string path = file_of("list-" + std::to_string(state.range(0)), list_text(state.range(0)));
    const ScannedList scanned = load_text_file(path);
    const auto n = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(index_drawable_lines(*scanned.list, n));
}
BENCHMARK(BM_IndexDrawableLines)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
