// Limits on what one stream can make the factory hold, and the rules for charts, answer trees and display
// keys when a message asks for something that is not there.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <optional>

#include "support/FactoryHarness.h"
#include <omf/protocol/ProtocolError.h>

using namespace omf;

using omf::fixtures::Harness;

namespace {

using Strings = std::vector<std::string>;
using Bytes = std::vector<unsigned char>;

void Send(Harness& h, short type, Bytes payload) {
  h.factory.Message(type, static_cast<unsigned>(payload.size()), payload.data());
}

// A chart (307) or answer-tree (312) message: number, operation, the length field a, the value b and the data
// bytes.
Bytes ContentMessage(std::int32_t number, std::int32_t operation, std::int32_t a, std::int32_t b,
                     const std::string& data) {
  const std::int32_t head[4] = {number, operation, a, b};
  Bytes out(sizeof head + data.size());
  std::memcpy(out.data(), head, sizeof head);
  if (!data.empty()) std::memcpy(out.data() + sizeof head, data.data(), data.size());
  return out;
}

// The ProtocolError that `send` raises, or none.
std::optional<ProtocolError> ErrorOf(const std::function<void()>& send) {
  try {
    send();
  } catch (const ProtocolError& e) {
    return e;
  }
  return std::nullopt;
}

// Sends `payload` as message 34, 307 or 312: refused with exactly `error`, or accepted when it is null.
void ExpectOutcome(Harness& h, short type, const Bytes& payload, const char* error) {
  const auto e = ErrorOf([&] { Send(h, type, payload); });
  if (error == nullptr) {
    EXPECT_FALSE(e.has_value()) << e->what();
  } else {
    ASSERT_TRUE(e.has_value());
    EXPECT_STREQ(e->what(), error);
  }
}

// The text blocks of the tree that are logs (or that are not), in tree order.
std::vector<const OmTextBlock*> Blocks(const OmOutputTree& tree, bool log) {
  std::vector<const OmTextBlock*> found;
  for (std::size_t n = 1; n < tree.Count(); ++n)
    if (auto* b = dynamic_cast<const OmTextBlock*>(tree.Part(n)); b && b->IsLog() == log) found.push_back(b);
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
    // The block that filled up holds the limit; the next block takes lines again.
    c.nextBlock(h);
    c.line(h, 1);
    h.End();
    const auto blocks = Blocks(h.tree, c.type == 293);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0]->Lines().size(), 1000000u);
    EXPECT_EQ(blocks[1]->Lines(), (Strings{"x"}));
  }
}

// Over its life a factory adds at most 256 MiB of text and log lines, each line charged its length
// plus 32 bytes; new blocks do not reset the count.
TEST(MessageLimits, TextAndLogLinesTogetherStopAt256MiB) {
  Harness h;
  h.Begin("Listing");
  // One text message of a 1 MiB line (line count 1, length, text), sent as it stands 255 times.
  const std::int32_t head[2] = {1, 1 << 20};
  Bytes text(sizeof head + (std::size_t{1} << 20), 'x');
  std::memcpy(text.data(), head, sizeof head);
  for (int i = 0; i < 255; ++i)
    h.factory.Message(292, static_cast<unsigned>(text.size()), text.data());
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
  EXPECT_EQ(Blocks(h.tree, true).back()->Lines().size(), 32000u);
}

// ---- charts and answer trees ---------------------------------------------------------------------

// Field a counts the data bytes an operation takes and must lie within the data; b is kept with the content
// it came with; an operation other than create on a number that has no part is ignored, and a create with a
// number outside 0 to 65535 is refused.
TEST(MessageLimits, ChartAndAnswerTreeOperations) {
  Harness h;
  h.Open("Graph");
  Send(h, 307, ContentMessage(4, 0, 5, 0, "Chart"));
  Send(h, 307, ContentMessage(4, 1, 3, 77, "abcdef")); // takes 3 of the 6 bytes
  Send(h, 307, ContentMessage(4, 10, 2, -5, "mp"));
  Send(h, 312, ContentMessage(2, 1, 4, 0, "Tree"));
  Send(h, 312, ContentMessage(2, 4, 4, 9, "node"));

  struct Case {
    const char* what;
    short type;
    Bytes payload;
    const char* error; // null: ignored
  };
  const Case cases[] = {
      {"chart content, number never created", 307, ContentMessage(5, 1, 1, 0, "z"), nullptr},
      {"chart subtitle, number never created", 307, ContentMessage(6, 9, 1, 0, "z"), nullptr},
      {"chart map, number past the largest", 307, ContentMessage(1 << 20, 10, 1, 0, "z"), nullptr},
      {"chart content, negative number", 307, ContentMessage(-1, 1, 1, 0, "z"), nullptr},
      {"chart content, the largest number", 307, ContentMessage(INT_MAX, 2, 1, 0, "z"), nullptr},
      {"tree content, number never created", 312, ContentMessage(3, 4, 1, 0, "z"), nullptr},
      {"tree content, negative number", 312, ContentMessage(-7, 0, 1, 0, "z"), nullptr},
      {"chart created with a negative number", 307, ContentMessage(-1, 0, 1, 0, "z"),
       "type 307, chart: chart number -1 is outside 0 to 65535"},
      {"chart created past the largest number", 307, ContentMessage(65536, 0, 1, 0, "z"),
       "type 307, chart: chart number 65536 is outside 0 to 65535"},
      {"tree created past the largest number", 312, ContentMessage(INT_MAX, 1, 1, 0, "z"),
       "type 312, tree: answer tree number 2147483647 is outside 0 to 65535"},
      {"chart length past the data", 307, ContentMessage(4, 2, 7, 0, "abc"),
       "type 307, a: length 7 runs past the 3 bytes of data"},
      {"tree length past the data", 312, ContentMessage(2, 3, 100, 0, ""),
       "type 312, a: length 100 runs past the 0 bytes of data"},
      {"negative chart length", 307, ContentMessage(4, 2, -1, 0, "abc"),
       "type 307, a: length -1 is negative"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectOutcome(h, c.type, c.payload, c.error);
  }
  h.End();
  EXPECT_EQ(h.Outline(), (Strings{"1:Output", "2:Graph", "3:Graph", "3:Chart", "3:Tree"}));
  const OmChart* chart = h.Find<OmChart>("Chart");
  ASSERT_NE(chart, nullptr);
  ASSERT_EQ(chart->Content().size(), 2u); // the refused length left slot 2 empty
  EXPECT_EQ(chart->Content().at(1), (std::vector<unsigned char>{'a', 'b', 'c'}));
  EXPECT_EQ(chart->ContentValue(1), 77);
  EXPECT_EQ(chart->ContentValue(OmChart::kMapInfoSlot), -5);
  const OmAnswerTree* tree = h.Find<OmAnswerTree>("Tree");
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->Content().size(), 1u);
  EXPECT_EQ(tree->ContentValue(4), 9);
}

// ---- display settings ----------------------------------------------------------------------------

// Message 34: bytes 0-15 are not read, the key is a 16-byte field at byte 16 that its NUL must end, the value
// starts at byte 32.
Bytes DisplayMessage(const std::string& keyField, const std::string& value) {
  std::string out(16, '#');
  out += keyField;
  out.resize(32, '\0');
  out += value;
  out.push_back('\0');
  return Bytes(out.begin(), out.end());
}

TEST(MessageLimits, DisplayKeysStayInsideTheirField) {
  struct Case {
    const char* what;
    Bytes payload;
    const char* error;                   // null: accepted
    OmCellText::ModeType tableVariables; // afterwards
  };
  const std::string fullKey = "TVARSTVARSTVARSX"; // 16 bytes, no room for the NUL
  Bytes cut = DisplayMessage(std::string("TVARS\0junk", 10), "Names");
  cut.resize(24);
  const Case cases[] = {
      {"a key that fills its field", DisplayMessage(fullKey, "Names"),
       "type 34, key: text at byte 16 fills its 16 bytes with no terminating NUL", OmCellText::kModeLabels},
      {"a key of 15 bytes is read and, unknown, ignored", DisplayMessage("TVARSTVARSTVARS", "Names"), nullptr,
       OmCellText::kModeLabels},
      {"bytes after the key's NUL are not part of it",
       DisplayMessage(std::string("TVARS\0junk", 10), "Names"), nullptr, OmCellText::kModeNames},
      {"a payload that ends inside the key", Bytes(20, 'K'),
       "type 34, key: text at byte 16 has no terminating NUL", OmCellText::kModeLabels},
      {"a payload that ends before the value", cut,
       "type 34, value: needs bytes up to 33 but the payload has 24", OmCellText::kModeLabels},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    ExpectOutcome(h, 34, c.payload, c.error);
    EXPECT_EQ(h.factory.TableVarDisplayMode(), c.tableVariables);
  }
}

} // namespace
