// The factory end to end: messages written with MessageWriter, played into OmFactory, checked on the
// caller's tree and the observer calls.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>

#include "support/FactoryHarness.h"
#include <omf/platform/settings/Iocvset.h>

using namespace omf;

using omf::fixtures::CellText;
using omf::fixtures::Harness;
using omf::fixtures::RecordingObserver;
using omf::stream::WireFormat;

namespace {

using Strings = std::vector<std::string>;

TEST(Factory, ProcedureIsGraftedAfterTheFirstTopNodeAndObserversAreToldInOrder) {
  Harness h;
  h.Open("Frequencies");
  h.Table(0, "Statistics", "Statistics", {"Mean"}, {"Value"}, {2.5});
  h.End();
  EXPECT_EQ(h.Outline(), (Strings{"1:Output", "2:Frequencies", "3:Frequencies", "3:Statistics"}));
  EXPECT_EQ(h.observer.calls, (Strings{"finished", "keep?", "changed"}));
  auto* table = h.Find<OmPivotTable>("Statistics");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(CellText(*table, {0, 0}), "2.50");
}

TEST(Factory, ObserversDecideWhetherTheProcedureIsKept) {
  {
    // Without observers the procedure is finished and dropped.
    OmOutputTree tree;
    std::vector<OMSObjectSelector> none;
    OmFactory factory(&tree, "", "UTF-8", none);
    omf::stream::FactorySink sink(factory);
    omf::stream::MessageWriter w(sink);
    omf::stream::ProcedureSettings s;
    s.procedure = "Frequencies";
    w.ProcedureBegin(1, s);
    w.String(1, "t");
    w.TextBlock(1);
    w.Text("x");
    w.String(1, "another");
    w.TextBlock(1);
    w.ProcedureEnd();
    EXPECT_EQ(tree.Count(), 1u);
  }
  // The first says no, the second yes: both are asked, the procedure is grafted, both are told.
  Harness h;
  RecordingObserver no("a:", false), yes("b:", true);
  h.observer.keep = false;
  h.factory.Register(&no);
  h.factory.Register(&yes);
  h.Open("Frequencies");
  h.Table(0, "Statistics", "Statistics", {"Mean"}, {"Value"}, {1});
  h.End();
  EXPECT_EQ(no.calls, (Strings{"a:finished", "a:keep?", "a:changed"}));
  EXPECT_EQ(yes.calls, (Strings{"b:finished", "b:keep?", "b:changed"}));
  EXPECT_EQ(h.tree.Count(), 5u);
}

TEST(Factory, ProceduresWithoutOutputDisappear) {
  Harness h;
  // Only a title, a notes table and an "Active Dataset" block.
  h.Open("Frequencies");
  h.Table(0, "Notes", "Notes", {"Output Created"}, {"Value"}, {1});
  h.w.String(1, "Active Dataset");
  h.w.TextBlock(1);
  h.w.Text("DataSet1");
  h.End();
  EXPECT_EQ(h.Outline(), (Strings{"1:Output"}));
  EXPECT_TRUE(h.observer.calls.empty());
}

TEST(Factory, AnEmptyWarningsTableBeforeOtherOutputIsDropped) {
  Harness h;
  h.Open("Frequencies");
  h.w.String(1, "Warnings");
  h.w.String(2, "Warnings");
  h.w.TableBegin(0, 1, 2);
  h.w.TableEnd(0);
  h.Table(1, "Statistics", "Statistics", {"Mean"}, {"Value"}, {1});
  h.w.String(1, "Warnings 2");
  h.w.String(2, "Warnings");
  h.w.TableBegin(2, 1, 2);
  h.w.TableEnd(2);
  h.End();
  // The first empty warnings table is hidden and pruned; the one after real output stays.
  EXPECT_EQ(h.Outline(),
            (Strings{"1:Output", "2:Frequencies", "3:Frequencies", "3:Statistics", "3:Warnings 2"}));
}

TEST(Factory, LogLinesAndPageTitles) {
  Harness h;
  h.w.Log("first");
  h.w.Log(std::string("\x01request data")); // the request marker, any case, is dropped
  h.w.Log(std::string("\x01REQUEST more"));
  h.w.Log("second", 3); // two empty lines first
  h.w.PageTitle("Title", "Sub");
  h.w.Log("third", -1); // a form feed line first
  h.w.LogEnd();
  h.w.Signal();
  EXPECT_EQ(h.Outline(), (Strings{"1:Output", "2:Log", "2:Title", "2:Log"}));
  auto* first = h.Find<OmTextBlock>("Log");
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->IsLog());
  EXPECT_EQ(first->Lines(), (Strings{"first", "", "", "second"}));
  EXPECT_EQ(h.Find<OmTextBlock>("Log", 1)->Lines(), (Strings{"\f", "third"}));
  EXPECT_EQ(h.Find<OmPageTitle>("Title")->Lines(), (Strings{"Title", "Sub"}));
  EXPECT_EQ(h.observer.calls, (Strings{"log:first", "log:", "log:", "log:second", "log-ended",
                                       "page:Title/Sub", "log:\f", "log:third", "log-ended", "signal"}));
}

TEST(Factory, TextOutputFollowsHeadingsAndBlocks) {
  Harness h;
  h.Open("Frequencies");
  h.w.Text("a");
  h.w.Text("b", 3);
  h.w.Text("c", -1);
  h.w.String(1, "Heading");
  h.w.Heading(1);
  h.w.Text("in heading");
  h.w.HeadingEnd();
  h.w.Text("after end of heading"); // same block: ending a heading does not start a new one
  h.w.String(1, "Heading");
  h.w.Heading(1); // the same heading again: no new heading, block kept
  h.w.Text("again");
  h.End();
  // Text goes on into the title block until a heading or table is added.
  EXPECT_EQ(h.Outline(),
            (Strings{"1:Output", "2:Frequencies", "3:Frequencies", "3:Heading", "4:Text Output"}));
  EXPECT_EQ(h.Find<OmTextBlock>("Frequencies")->Lines(),
            (Strings{"Frequencies", "a", "", "", "b", "\f", "c"}));
  EXPECT_EQ(h.Find<OmTextBlock>("Text Output")->Lines(),
            (Strings{"in heading", "after end of heading", "again"}));
}

TEST(Factory, ParameterMessagesMakeCells) {
  Harness h;
  h.Open("Test");
  h.BeginTable("T", "T", "Dim");
  const auto put = [&](const std::string& category) {
    h.w.String(2, category);
    h.w.Cell(0, 9, 2);
  };
  h.w.Number(9, 1234.5, {WireFormat::kComma, 10, 2});
  put("comma");
  h.w.Integer(9, 7, WireFormat::Fixed(5, 0));
  put("integer");
  h.w.String(9, "text");
  put("string");
  h.w.Variable(9, "sex", "Gender", omf::stream::kModeNames);
  put("variable by name");
  h.w.Variable(9, "sex", "Gender", omf::stream::kModeLabels);
  put("variable by label");
  h.w.NumValue(9, "sex", 1, WireFormat::Fixed(5, 0), "Male", omf::stream::kModeUnset);
  put("value, display setting");
  h.w.StringValue(9, "city", "Oslo  ", WireFormat{WireFormat::kString, 6, 0}, "", omf::stream::kModeNames);
  put("string value");
  h.w.String(8, "^1 and ^2");
  h.w.Composite(7, 8);
  h.w.Number(6, 3, WireFormat::Fixed(4, 0));
  h.w.CompositeAdd(6);
  h.w.String(6, "four");
  h.w.CompositeAdd(6);
  h.w.Copy(7, 9);
  put("composite");
  h.w.Free(7);
  h.w.TableEnd(0);
  h.End();
  auto* t = h.Find<OmPivotTable>("T");
  ASSERT_NE(t, nullptr);
  const Strings expected = {"1,234.50", "7", "text", "sex", "Gender", "Male", "Oslo", "3 and four"};
  ASSERT_EQ(t->Dimension(0).Size(), 8);
  for (int i = 0; i < 8; ++i) {
    const OmCellText* c = t->Cell({i});
    ASSERT_NE(c, nullptr) << i;
    std::string shown = c->AsString();
    if (c->OrderCode() == OmCellText::kOrderComposite) shown = static_cast<const OmComposite*>(c)->Filled();
    EXPECT_EQ(shown, expected[static_cast<std::size_t>(i)]) << i;
  }
}

TEST(Factory, WireFormatsConvertAndByteThreeIsIgnored) {
  Harness h;
  h.Begin("Test");
  const auto number = [&](std::uint32_t wire) {
    std::vector<unsigned char> p(16);
    const double v = 1.5;
    std::memcpy(p.data(), &v, 8);
    std::memcpy(p.data() + 8, &wire, 4);
    const std::int32_t slot = 5;
    std::memcpy(p.data() + 12, &slot, 4);
    h.factory.Message(256, 16, p.data());
    std::uint32_t after;
    std::memcpy(&after, p.data() + 8, 4);
    EXPECT_EQ(after >> 24, 0u) << "byte 3 is cleared in place";
  };
  // Each pair: wire word (decimals, width, type, reserved) and the cell's format word.
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {2u | 60u << 8 | 5u << 16 | 0xABu << 24, MakeFormat(40, 5, 2)},
      {1u | 44u << 8 | 1u << 16, MakeFormat(300, 1, 0)},
      {3u | 12u << 8 | 2u << 16, MakeFormat(12, 2, 3)},
  };
  // One table a case, each under its own outline label.
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    number(cases[i].first);
    h.BeginTable("T" + std::to_string(i), "T", "D");
    h.w.String(2, "c");
    h.w.Cell(0, 5, 2);
    h.w.TableEnd(0);
  }
  h.Title("x");
  h.End();
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    auto* t = h.Find<OmPivotTable>("T" + std::to_string(i));
    ASSERT_NE(t, nullptr) << i;
    ASSERT_EQ(t->CellCount(), 1u) << i;
    const auto* cell = dynamic_cast<const OmNumber*>(t->Cell({0}));
    ASSERT_NE(cell, nullptr) << i;
    EXPECT_EQ(cell->Format(), cases[i].second) << "case " << i;
  }
}

TEST(Factory, SettingsMessages) {
  omf::platform::ClearSettings();
  Harness h;
  // A name longer than 16 bytes is cut, and the caller's length byte reads 16 afterwards.
  std::vector<unsigned char> p = {1, 20};
  const std::string name = "ABCDEFGHIJKLMNOPQRST";
  p.insert(p.end(), name.begin(), name.end());
  h.factory.Message(27, static_cast<unsigned>(p.size()), p.data());
  EXPECT_EQ(p[1], 16);
  EXPECT_EQ(omf::platform::SettingValue("ABCDEFGHIJKLMNOP"), 1);
  h.w.SettingPair(7, 42);
  EXPECT_EQ(omf::platform::SettingValue("#7"), 42);
  // Display keys: exact words only.
  h.w.Display("TVARS", "Both");
  h.w.Display("OVARS", "Names");
  h.w.Display("TNUMBERS", "labels"); // not a mode word: no change
  EXPECT_EQ(h.factory.TableVarDisplayMode(), OmCellText::kModeBoth);
  EXPECT_EQ(h.factory.OutlineVarDisplayMode(), OmCellText::kModeNames);
  EXPECT_EQ(h.factory.TableValueDisplayMode(), OmCellText::kModeLabels);
  // Byte order: a probe of 1 in the receiver's order clears the flag, anything else sets it.
  h.factory.SwapBytes(true);
  h.w.ByteOrderProbe();
  EXPECT_FALSE(h.factory.SwapBytes());
  const std::int32_t other = 0x01000000;
  h.factory.Message(59, 4, &other);
  EXPECT_TRUE(h.factory.SwapBytes());
  h.w.Swap(false);
  EXPECT_FALSE(h.factory.SwapBytes());
}

TEST(Factory, TableIdsCountTablesOfTheProcedure) {
  Harness h;
  h.Open("Frequencies", 3);
  h.Table(0, "A", "A", {"r"}, {"c"}, {1});
  h.Table(0, "B", "B", {"r"}, {"c"}, {1});
  h.Table(0, "A", "A", {"r2"}, {"c"}, {1}); // same outline label: the table is reused
  h.End();
  EXPECT_EQ(h.Find<OmPivotTable>("A")->TableId(), (3ull << 20) + 1);
  EXPECT_EQ(h.Find<OmPivotTable>("B")->TableId(), (3ull << 20) + 2);
  EXPECT_EQ(h.Find<OmPivotTable>("A")->Dimension(1).Size(), 2);
}

} // namespace
