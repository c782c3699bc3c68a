// Runs in one directory take turns at the done list: a load or an append
// waits while another run appends, so no record is lost and no load sees the
// list as empty.

#include "platform/platform.h"

#include "support/file_hold.h"
#include "support/lines.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace lotpick::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What another run holds the done list for: to append to it, or to load it.
enum class Holding { append, load };

std::shared_ptr<void> hold(const std::string& path, Holding holding) {
    if (holding == Holding::load) {
        auto opened = std::make_shared<Opened>(open_input(path, Reading::done_list));
        return opened->input ? opened : nullptr;
    }
    auto held = std::make_shared<test::ExclusiveHold>(path);
    return held->is_held() ? held : nullptr;
}

// Holds `path` as a concurrent run would, and lets go after `held_for`.
class OtherRun {
public:
    OtherRun(const std::string& path, std::chrono::milliseconds held_for, Holding holding = Holding::append)
        : hold_(hold(path, holding)), holds_(hold_ != nullptr), releaser_([this, held_for] {
              std::this_thread::sleep_for(held_for);
              let_go_at_ = Clock::now();
              hold_.reset();
          }) {}
    ~OtherRun() {
        if (releaser_.joinable()) releaser_.join();
    }
    bool holds() const { return holds_; }
    // When the run let go, once it has.
    Clock::time_point let_go() {
        releaser_.join();
        return let_go_at_;
    }

private:
    std::shared_ptr<void> hold_;
    const bool holds_;
    Clock::time_point let_go_at_;
    std::thread releaser_;
};

// Also while another run reads the list: an append takes the list for
// itself, for were it to share it as a load does, two appends could run at
// once and both take the list's end for where their record starts.
TEST(DoneListSharing, AnAppendWaitsForAnotherRunsAppendOrLoadAndLosesNothing) {
    for (const Holding holding : {Holding::append, Holding::load}) {
        test::ScratchDir scratch;
        test::write_file("DoneList", "a.txt");
        OtherRun other("DoneList", 300ms, holding);
        ASSERT_TRUE(other.holds());
        const std::optional<Failure> failure = append_record("DoneList", "b.txt");
        // Ended only once the other run had let go, however long the machine
        // took to get round to either of them.
        const auto ended = Clock::now();
        EXPECT_GE(ended, other.let_go()) << static_cast<int>(holding);
        EXPECT_FALSE(failure) << failure->reason;
        EXPECT_EQ(test::read_file("DoneList"), "a.txt\r\nb.txt");
    }
}

TEST(DoneListSharing, ALoadWaitsForAnotherRunsAppendAndSeesTheList) {
    test::ScratchDir scratch;
    test::write_file("DoneList", "a.txt");
    OtherRun other("DoneList", 300ms);
    ASSERT_TRUE(other.holds());
    const test::WholeFile loaded = test::load_whole_file("DoneList", Reading::done_list);
    const auto ended = Clock::now();
    EXPECT_GE(ended, other.let_go());
    ASSERT_TRUE(loaded.bytes) << loaded.failure.reason;
    EXPECT_EQ(*loaded.bytes, "a.txt");
}

}  // namespace
}  // namespace lotpick::platform
