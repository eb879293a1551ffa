// Limits on what one stream can make the factory hold.
#include <gtest/gtest.h>

#include <optional>

#include "factory/ProtocolError.h"
#include "support/FactoryHarness.h"

using omf::testing::Harness;

namespace {

using Strings = std::vector<std::string>;

// The ProtocolError that `send` raises, or none.
std::optional<ProtocolError> ErrorOf(const std::function<void()>& send) {
  try {
    send();
  } catch (const ProtocolError& e) {
    return e;
  }
  return std::nullopt;
}

const OmTextBlock* LastBlock(const OmOutputTree& tree, bool log) {
  const OmTextBlock* found = nullptr;
  for (std::size_t n = 1; n < tree.Count(); ++n)
    if (auto* b = dynamic_cast<const OmTextBlock*>(tree.Part(n)); b && b->IsLog() == log) found = b;
  return found;
}

// ---- text and log lines --------------------------------------------------------------------------

// A block takes a million lines at most: the counts of empty lines that once filled gigabytes from a few
// kilobytes of stream now stop at the limit with an error, and the next block takes lines again.
TEST(MessageLimits, ABlockHoldsAtMostAMillionLines) {
  struct Case {
    const char* what;
    short type;
    std::function<void(Harness&, int lines)> line;
    std::function<void(Harness&)> nextBlock;
  };
  const Case cases[] = {
      {"log", 293, [](Harness& h, int k) { h.w.Log("x", k); }, [](Harness& h) { h.w.PageTitle("Page"); }},
      {"text", 292, [](Harness& h, int k) { h.w.Text("x", k); },
       [](Harness& h) {
         h.w.String(1, "More");
         h.w.TextBlock(1);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    h.Begin("Listing");
    h.w.String(1, "Listing");
    h.w.TextBlock(1);
    int refused = 0;
    std::string error;
    for (int i = 0; i < 300; ++i) { // 300 messages of 10,000 lines each, 4.5 KB of stream
      if (const auto e = ErrorOf([&] { c.line(h, 10000); })) {
        ++refused;
        EXPECT_EQ(e->Type(), c.type);
        error = e->what();
      }
    }
    EXPECT_EQ(refused, 200);
    EXPECT_EQ(error, "type " + std::to_string(c.type) + ", lines: the " + c.what +
                         " block would hold more than 1000000 lines");
    const bool log = c.type == 293;
    const OmTextBlock* block = log ? LastBlock(h.tree, true) : nullptr;
    if (!log) {
      // Text blocks stay in the open procedure until it ends; the one that filled up is its last.
      c.nextBlock(h);
      c.line(h, 1);
      h.End();
      block = h.Find<OmTextBlock>("Listing");
      ASSERT_NE(block, nullptr);
      EXPECT_EQ(block->Lines().size(), 1000000u);
      const OmTextBlock* next = h.Find<OmTextBlock>("More");
      ASSERT_NE(next, nullptr);
      EXPECT_EQ(next->Lines(), (Strings{"x"}));
      continue;
    }
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->Lines().size(), 1000000u);
    c.nextBlock(h);
    c.line(h, 1);
    EXPECT_NE(LastBlock(h.tree, true), block);
    EXPECT_EQ(LastBlock(h.tree, true)->Lines(), (Strings{"x"}));
  }
}

// Over its life a factory adds at most 256 MiB of text and log lines, each line charged its length
// plus 32 bytes; new blocks do not reset the count.
TEST(MessageLimits, TextAndLogLinesTogetherStopAt256MiB) {
  Harness h;
  h.Begin("Listing");
  const std::string long_(std::size_t{1} << 20, 'x');
  for (int i = 0; i < 255; ++i)
    h.w.Text(long_);
  // 255 lines of 1 MiB and 32 bytes leave 1,040,416 bytes: three log messages of 10,000 lines each
  // (320,000 bytes) still fit, the fourth does not.
  int accepted = 0;
  std::optional<ProtocolError> error;
  for (int i = 0; i < 5 && !error; ++i) {
    error = ErrorOf([&] { h.w.Log("", 10000); });
    if (!error) ++accepted;
  }
  EXPECT_EQ(accepted, 3);
  ASSERT_TRUE(error.has_value());
  EXPECT_STREQ(error->what(), "type 293, text: text and log lines would take more than 268435456 bytes");
  const auto refused = ErrorOf([&] { h.w.Text(std::string(100000, 'y')); });
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(refused->Type(), 292);
  h.w.Log("", 2000); // what is left still takes lines
  EXPECT_EQ(LastBlock(h.tree, true)->Lines().size(), 32000u);
}

} // namespace
