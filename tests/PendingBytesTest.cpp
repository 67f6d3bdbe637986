#include <gtest/gtest.h>

#include <string>
#include <system_error>
#include <vector>

#include "csv/PendingBytes.h"
#include "tests/StringSink.h"

namespace rungwell {
namespace {

using testing::StringSink;

// An input's bytes that can be read again, counting what was asked for.
class Input final : public EarlierBytes {
 public:
  explicit Input(std::string all) : bytes(std::move(all)) {}

  std::error_code ReadAgain(std::uint64_t at, char* into, std::size_t count) override {
    asked += count;
    if (failing) {
      return std::make_error_code(std::errc::io_error);
    }
    bytes.copy(into, count, at);
    return {};
  }

  std::string bytes;
  std::uint64_t asked = 0;
  bool failing = false;
};

// Runs of pending bytes, each let go in blocks and written after a gap, as
// lines whose level comes late leave them: a run up to the kept size is
// held, one byte more is read again, and what is written is the input.
TEST(PendingBytes, HoldsShortRunsAndReadsLongerOnesAgain) {
  constexpr std::size_t Kept = 100;
  struct Case {
    std::vector<std::size_t> runs;  // their lengths, each let go in blocks of 40 bytes
    std::uint64_t readAgain;        // bytes of them read again
  };
  const Case cases[] = {
      {{Kept - 1}, 0},
      {{Kept}, 0},
      {{Kept + 1}, Kept + 1},
      {{1, Kept + 1, 1}, Kept + 1},
      {{3 * Kept, Kept, 2 * Kept + 7}, 5 * Kept + 7},
  };
  for (const Case& c : cases) {
    std::string all;
    for (std::size_t i = 0; all.size() < 10 * Kept; ++i) {
      all += static_cast<char>('a' + i % 26);
    }
    Input input(all);
    PendingBytes pending(input, Kept);
    PendingBytes held;
    StringSink viaPending;
    StringSink viaHeld;
    std::string expected;
    std::uint64_t at = 5;  // a gap before each run, which is not pending
    for (const std::size_t run : c.runs) {
      for (std::size_t done = 0; done < run; done += 40) {
        const std::string_view block = std::string_view(all).substr(at + done, std::min<std::size_t>(40, run - done));
        pending.Keep(at + done, block);
        held.Keep(at + done, block);
      }
      ASSERT_TRUE(pending.WriteTo(viaPending, at, at + run).Done());
      ASSERT_TRUE(held.WriteTo(viaHeld, at, at + run).Done());
      expected += all.substr(at, run);
      at += run + 5;
    }
    EXPECT_EQ(viaPending.Text(), expected) << ::testing::PrintToString(c.runs);
    EXPECT_EQ(viaHeld.Text(), expected) << ::testing::PrintToString(c.runs);
    EXPECT_EQ(input.asked, c.readAgain) << ::testing::PrintToString(c.runs);
  }
}

// A failure says which side it was on: the input read again, or the sink.
TEST(PendingBytes, SaysWhichSideFailed) {
  Input input(std::string(1000, 'x'));
  input.failing = true;
  PendingBytes pending(input, 10);
  pending.Keep(0, std::string_view(input.bytes).substr(0, 50));
  StringSink sink;
  const Outcome reading = pending.WriteTo(sink, 0, 50);
  EXPECT_EQ(reading.kind, Outcome::Kind::ReadFailed);
  EXPECT_EQ(reading.error, std::errc::io_error);

  PendingBytes held;
  held.Keep(0, std::string_view(input.bytes).substr(0, 50));
  StringSink full(20);
  const Outcome writing = held.WriteTo(full, 0, 50);
  EXPECT_EQ(writing.kind, Outcome::Kind::WriteFailed);
  EXPECT_EQ(writing.error, std::errc::no_space_on_device);
}

}  // namespace
}  // namespace rungwell
