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
              hold_.reset();
          }) {}
    ~OtherRun() { releaser_.join(); }
    bool holds() const { return holds_; }

private:
    std::shared_ptr<void> hold_;
    const bool holds_;
    std::thread releaser_;
};

// Also while another run reads the list: an append takes the list for
// itself, for were it to share it as a load does, two appends could run at
// once and both take the list's end for where their record starts.
TEST(DoneListSharing, AnAppendWaitsForAnotherRunsAppendOrLoadAndLosesNothing) {
    for (const Holding holding : {Holding::append, Holding::load}) {
        test::ScratchDir scratch;
        test::write_file("DoneList", "a.txt");
        std::optional<Failure> failure;
        Clock::duration waited{};
        {
            OtherRun other("DoneList", 300ms, holding);
            ASSERT_TRUE(other.holds());
            const auto started = Clock::now();
            failure = append_record("DoneList", "b.txt");
            // Timed before the other run's end is waited for.
            waited = Clock::now() - started;
        }
        EXPECT_GE(waited, 250ms) << static_cast<int>(holding);
        EXPECT_FALSE(failure) << failure->reason;
        EXPECT_EQ(test::read_file("DoneList"), "a.txt\r\nb.txt");
    }
}

TEST(DoneListSharing, ALoadWaitsForAnotherRunsAppendAndSeesTheList) {
    test::ScratchDir scratch;
    test::write_file("DoneList", "a.txt");
    test::WholeFile loaded;
    Clock::duration waited{};
    {
        OtherRun other("DoneList", 300ms);
        ASSERT_TRUE(other.holds());
        const auto started = Clock::now();
        loaded = test::load_whole_file("DoneList", Reading::done_list);
        waited = Clock::now() - started;
    }
    EXPECT_GE(waited, 250ms);
    ASSERT_TRUE(loaded.bytes) << loaded.failure.reason;
    EXPECT_EQ(*loaded.bytes, "a.txt");
}

}  // namespace
}  // namespace lotpick::platform
