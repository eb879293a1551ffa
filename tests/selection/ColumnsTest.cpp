// Column tokens and column specifications.
#include <omf/selection/OMSColumns.h>

#include <gtest/gtest.h>

using namespace omf;

TEST(OmParsedColumn, ParsesTokens) {
  struct Case {
    const char* token;
    OmParsedColumn::COLUMNAXIS axis;
    int number;
    bool all;
    bool valid;
  };
  using C = OmParsedColumn;
  const Case cases[] = {
      {"R1", C::kROW, 1, false, true},
      {"c12", C::kCOLUMN, 12, false, true},
      {"Lall", C::kLAYER, C::kALL, true, true},
      {"CALL", C::kCOLUMN, C::kALL, true, true},
      {"R01", C::kROW, 1, false, true},
      {"R2147483647", C::kROW, 2147483647, false, true},
      {"R0", C::kROW, -1, false, false},
      {"RC1", C::kNONE, 1, false, false}, // a two-letter axis; the number is still read
      {"R", C::kNONE, -1, false, false},
      {"LL", C::kNONE, -1, false, false},
      {"", C::kNONE, -1, false, false},
      {"1", C::kNONE, -1, false, false},
      {"X1", C::kNONE, -1, false, false},
      {"Rx", C::kROW, -1, false, false},
      {"R-1", C::kROW, -1, false, false},
      {"R1.5", C::kROW, -1, false, false},
      {"R 1", C::kROW, -1, false, false},
      {"R99999999999", C::kROW, -1, false, false}, // beyond 32 bits
  };
  for (const Case& c : cases) {
    const OmParsedColumn column(c.token);
    EXPECT_EQ(column.GetAxis(), c.axis) << c.token;
    EXPECT_EQ(column.GetNumber(), c.number) << c.token;
    EXPECT_EQ(column.IsAll(), c.all) << c.token;
    EXPECT_EQ(column.IsValidToken(), c.valid) << c.token;
    EXPECT_EQ(column.GetColumnToken(), c.token);
  }
  EXPECT_EQ(OmParsedColumn("r3"), OmParsedColumn("R3")); // the text is not compared
  EXPECT_NE(OmParsedColumn("R3"), OmParsedColumn("C3"));
  EXPECT_NE(OmParsedColumn("L1"), OmParsedColumn("LALL"));
}

TEST(OMSColumns, AxesAndEquality) {
  OMSColumns layers;
  layers.AddColumn(OmParsedColumn("LALL"));
  layers.AddColumn(OmParsedColumn("R2"));
  EXPECT_EQ(layers.GetColumnsForm(), OMSColumns::kSEQUENCE);
  EXPECT_TRUE(layers.HasAxisAll(OmParsedColumn::kLAYER));
  EXPECT_FALSE(layers.HasAxisAll(OmParsedColumn::kROW));
  EXPECT_TRUE(layers.HasAxis(OmParsedColumn::kROW));
  EXPECT_FALSE(layers.HasAxis(OmParsedColumn::kCOLUMN));
  OMSColumns layer1;
  layer1.AddColumn(OmParsedColumn("L1"));
  EXPECT_FALSE(layer1.HasAxisAll(OmParsedColumn::kLAYER));

  const auto names = [](std::initializer_list<const char*> list) {
    OMSColumns c;
    for (const char* n : list)
      c.AddColumn(n);
    return c;
  };
  const auto tokens = [](std::initializer_list<const char*> list) {
    OMSColumns c;
    for (const char* t : list)
      c.AddColumn(OmParsedColumn(t));
    return c;
  };
  struct Case {
    OMSColumns a, b;
    bool equal;
  };
  const Case cases[] = {
      {names({"A", "B"}), names({"a", "b"}), true},
      {names({"A", "B"}), names({"B", "A"}), false},
      {names({"A"}), names({"A", "B"}), false},
      {tokens({"R1", "C2"}), tokens({"r1", "c2"}), true},
      {tokens({"R1", "C2"}), tokens({"C2", "R1"}), false},
      {tokens({"R1"}), names({"R1"}), false},
      {OMSColumns(), OMSColumns(), true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.a == c.b, c.equal) << &c - cases;
  EXPECT_TRUE(names({"Statistics"}).HasColumn("STATISTICS"));
}
