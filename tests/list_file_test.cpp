// A list read in pieces must count and name exactly as the whole text does,
// whatever the stretch, the piece and the split into halves.

#include "list_file.h"

#include "line_list.h"
#include "support/lines.h"
#include "support/scratch.h"
#include "support/scan_paths.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace lotpick {
namespace {

// Small enough that names, runs of breaks and CR LF pairs straddle every
// border; the last splits the counting into halves. Each scans on `path`.
std::vector<ListReading> readings_on(ScanPath path) {
    std::vector<ListReading> readings = {{8, 1, 1 << 30}, {12, 4, 2}, {64, 16, 100}, {}};
    for (ListReading& reading : readings) reading.scan = path;
    return readings;
}

TextSource in_memory(const std::string& bytes) {
    TextSource source;
    source.whole = bytes;
    source.size = bytes.size();
    return source;
}

// Every index from 0 to two past the line ends, and some twice, shuffled.
std::vector<std::int32_t> every_index(std::int32_t n, std::mt19937& rng) {
    std::vector<std::int32_t> indexes;
    for (std::int32_t k = 0; k <= n + 2; ++k) indexes.push_back(k);
    for (std::int32_t k = 0; k <= n; k += 3) indexes.push_back(k);
    std::shuffle(indexes.begin(), indexes.end(), rng);
    return indexes;
}

void expect_as_whole_text(const ListFile& list, const std::string& bytes, const std::vector<std::int32_t>& indexes) {
    const std::string_view text = test::without_byte_order_mark(bytes);
    ASSERT_EQ(list.line_ends, count_line_ends(text)) << testing::PrintToString(bytes);
    const FoundNames found = copy_line(list, indexes);
    ASSERT_FALSE(found.failure);
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        const std::string_view name = test::copy_line(text, indexes[i]);
        const ListName& got = name_selected(found, i);
        ASSERT_EQ(got.size, name.size()) << testing::PrintToString(bytes) << " k=" << indexes[i];
        if (name.size() <= max_name_length) {
            ASSERT_EQ(text_of(found, got), name) << testing::PrintToString(bytes) << " k=" << indexes[i];
        }
        ASSERT_EQ(got.line, test::line_number_at(text, static_cast<std::size_t>(name.data() - text.data())))
            << testing::PrintToString(bytes) << " k=" << indexes[i];
    }
}

LOTPICK_ON_EACH_SCAN_PATH(LoadTextFile);

TEST_P(LoadTextFile, CountsAndNamesAsTheWholeTextOnRandomLists) {
    std::mt19937 rng(5);
    static constexpr std::string_view alphabet("ab\r\n\r\n\0", 7);
    test::ScratchDir scratch;
    for (int round = 0; round < 150; ++round) {
        std::string bytes(std::uniform_int_distribution<std::size_t>(0, 200)(rng), ' ');
        for (char& byte : bytes) byte = alphabet[rng() % alphabet.size()];
        if (round % 4 == 0) bytes.insert(0, "\xEF\xBB\xBF");
        test::write_file("list.txt", bytes);
        for (const ListReading& reading : readings_on(GetParam())) {
            const ScannedList from_file = load_text_file("list.txt", reading);
            ASSERT_TRUE(from_file.list) << from_file.failure.reason;
            const auto n = static_cast<std::int32_t>(from_file.list->line_ends);
            const std::vector<std::int32_t> indexes = every_index(n, rng);
            expect_as_whole_text(*from_file.list, bytes, indexes);
            expect_as_whole_text(*load_text_file(in_memory(bytes), reading).list, bytes, indexes);
        }
    }
}

TEST_P(LoadTextFile, ReadsLongNamesAndLongBlankStretchesToTheirEnds) {
    test::ScratchDir scratch;
    std::string pairs;
    for (int i = 0; i < 300000; ++i) pairs += "\r\n";
    // A name and a run of blank lines each shorter than a piece, and each
    // longer, with CR LF pairs across every border of the windows read.
    const struct {
        std::string bytes;
        std::int32_t blanks;
    } cases[] = {
        {"first\r\n" + std::string(5000, 'n') + "\r\n" + std::string(100000, '\n') + "last\r\n", 100000},
        {"first\r\n" + std::string(300000, 'n') + "\r\n" + pairs + "last\r\n", 300000},
    };
    for (const auto& c : cases) {
        test::write_file("list.txt", c.bytes);
        const std::int32_t b = c.blanks;
        // Around the long name, into the blank stretch and past it, and shuffled.
        const std::vector<std::int32_t> indexes = {3, 0, 2, 4, 5, b - 10000, 6, b + 3, b / 2, b + 2, b + 4, 1, b + 5};
        for (const ListReading& reading : readings_on(GetParam()))
            expect_as_whole_text(*load_text_file("list.txt", reading).list, c.bytes, indexes);
    }
}

TEST(LoadTextFile, TellsUtf16AndPassesOverAUtf8Mark) {
    test::ScratchDir scratch;
    const struct {
        std::string bytes;
        bool utf16;
        std::uint64_t text_start;
    } cases[] = {{"\xFF\xFE" "a\0\r\0", true, 0}, {"\xFE\xFF", true, 0}, {"\xEF\xBB\xBF" "a\r\n", false, 3},
                 {"\xEF\xBB", false, 0},          {"", false, 0}};
    for (const auto& c : cases) {
        test::write_file("list.txt", c.bytes);
        const ScannedList scanned = load_text_file("list.txt");
        ASSERT_TRUE(scanned.list) << testing::PrintToString(c.bytes);
        EXPECT_EQ(scanned.list->source.utf16, c.utf16) << testing::PrintToString(c.bytes);
        EXPECT_EQ(scanned.list->source.text_start, c.text_start) << testing::PrintToString(c.bytes);
    }
}

TEST(LoadTextFile, FailsWithAReasonForMissingFilesAndDirectories) {
    test::ScratchDir scratch;
    std::filesystem::create_directory("dir");
    for (const char* path : {"missing.txt", "dir"}) {
        const ScannedList scanned = load_text_file(path);
        EXPECT_FALSE(scanned.list) << path;
        EXPECT_FALSE(scanned.failure.reason.empty()) << path;
    }
}

}  // namespace
}  // namespace lotpick
