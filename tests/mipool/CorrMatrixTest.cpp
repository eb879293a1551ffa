// The correlation-matrix pattern through the factory: correlations pooled as Fisher z with standard
// errors from N, the diagonal, perfect correlations, N read from "Listwise N" footnotes, and the
// significance flags set again on the pooled correlation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "mipool/MiStreams.h"
#include <omf/platform/pooling/MPFactory.h>

using namespace omf;

namespace {

using namespace omf::fixtures;
using omf::stream::WireFormat;
using Strings = std::vector<std::string>;
using At = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kFlag05 = "Correlation at 0.05(2-tailed):...";
constexpr const char* kFlag01 = "Correlation at 0.01(2-tailed):...";

// The pooled correlation and its two-tailed significance, from the library called directly.
std::pair<double, double> PoolDirect(const std::vector<double>& r, const std::vector<double>& n) {
  std::unique_ptr<IMPPoolCalculator> c(MPFactory::CreateMPCompAlgorithm());
  for (std::size_t i = 0; i < r.size(); ++i) {
    MPParamContainer p;
    p.fParams = {std::atanh(r[i])};
    p.fStdErrors = {1 / std::sqrt(n[i] - 3)};
    c->AddImputation(p);
  }
  MPParamContainer p;
  c->Pool(p);
  std::vector<double> df, f, sig;
  c->DfAndSignificance({0}, df, f, sig);
  return {std::tanh(p.fParams[0]), sig[0]};
}

// A "Correlations" matrix of x and y over the imputations; `r` per imputation for the pair, `n` per
// imputation (kSysmis: no N cell), `flag` the footnote the imputations put on the pair's correlation.
void PlayCorrelations(Harness& h, const std::string& procedure, const std::vector<double>& r,
                      const std::vector<double>& n, const std::string& flag = "", bool withSig = true) {
  h.Open(procedure);
  MiTable t(h.w, 0, "Correlations", "Correlations", {kImputation, "Rows", "Statistics", "Columns"});
  for (std::size_t i = 0; i < r.size(); ++i) {
    const std::string imp = std::to_string(i + 1);
    for (const char* a : {"x", "y"})
      for (const char* b : {"x", "y"}) {
        const bool diagonal = a[0] == b[0];
        std::vector<CellNote> notes;
        if (!diagonal && !flag.empty()) notes.push_back({flag, flag == kFlag01 ? "**" : "*"});
        t.Cell({imp, a, "Pearson Correlation", b}, diagonal ? 1 : r[i], WireFormat::Fixed(8, 3), notes);
        if (withSig && !diagonal)
          t.Cell({imp, a, "Significance(2-tailed)", b}, 0.04, WireFormat::Fixed(8, 3));
        if (n[i] != kSysmis) t.Cell({imp, a, "N", b}, n[i], WireFormat::Fixed(8, 0));
      }
  }
  t.End();
  h.End();
}

At Place(const char* a, const char* stat, const char* b) {
  return {{kImputation, "Pooled"}, {"Rows", a}, {"Statistics", stat}, {"Columns", b}};
}

TEST(MICorrMatrixPattern, PoolsOnTheFisherZScaleAndFlagsThePooledCorrelation) {
  struct Case {
    const char* what;
    std::vector<double> r;
    std::vector<double> n;
  };
  const std::vector<Case> cases = {
      {"strong", {0.61, 0.58, 0.66, 0.60, 0.63}, {40, 40, 40, 40, 40}},
      {"moderate", {0.33, 0.36, 0.30, 0.38, 0.35}, {45, 45, 46, 45, 45}},
      {"weak", {0.10, 0.05, 0.12, 0.02, 0.08}, {30, 30, 30, 30, 30}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MiFlagsReset reset;
    Harness h;
    PlayCorrelations(h, "Correlations", c.r, c.n, kFlag05);
    const auto* table = h.Find<OmPivotTable>("Correlations");
    ASSERT_NE(table, nullptr);
    const auto [r, p] = PoolDirect(c.r, c.n);
    const OmCellText* pooled = CellAt(*table, Place("x", "Pearson Correlation", "y"));
    ASSERT_NE(pooled, nullptr);
    EXPECT_NEAR(static_cast<const OmNumber*>(pooled)->Value(), r, 1e-12);
    EXPECT_NEAR(*NumberAt(*table, Place("x", "Significance(2-tailed)", "y")), p, 1e-12);
    EXPECT_EQ(NumberAt(*table, Place("x", "N", "y")), MeanOf(c.n));
    const Strings expected = p <= 0.01   ? Strings{"Correlation is significant at the 0.01 level (2-tailed)."}
                             : p <= 0.05 ? Strings{"Correlation is significant at the 0.05 level (2-tailed)."}
                                         : Strings{};
    EXPECT_EQ(NotesOf(*table, pooled), expected);
    if (!expected.empty()) {
      const OmFootnote& note = table->Footnotes()[static_cast<std::size_t>(pooled->Footnotes().front())];
      EXPECT_EQ(note.marker->AsString(), p <= 0.01 ? "**" : "*");
    }
    // The diagonal pools to 1, with neither significance nor flag.
    EXPECT_EQ(NumberAt(*table, Place("x", "Pearson Correlation", "x")), 1.0);
    EXPECT_EQ(CellAt(*table, Place("x", "Significance(2-tailed)", "x")), nullptr);
    EXPECT_TRUE(NotesOf(*table, CellAt(*table, Place("x", "Pearson Correlation", "x"))).empty());
  }
}

TEST(MICorrMatrixPattern, OddCellsPoolToMissingOrGoWithoutSignificance) {
  struct Case {
    const char* what;
    std::vector<double> r, n;
    bool pooledR;                    // a pooled correlation other than system-missing
    std::optional<std::string> note; // on the significance
  };
  const std::vector<Case> cases = {
      {"perfect in some imputations only", {1.0, 0.9, 0.95}, {20, 20, 20}, false, std::nullopt},
      {"perfect negative", {-1.0, -0.9, -0.95}, {20, 20, 20}, false, std::nullopt},
      {"N of 3 in an imputation", {0.3, 0.4, 0.5}, {20, 3, 20}, true, "No variance among imputations."},
      {"no N",
       {0.3, 0.4, 0.5},
       {kSysmis, kSysmis, kSysmis},
       true,
       "The significance of a pooled correlation cannot be computed without N."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MiFlagsReset reset;
    Harness h;
    PlayCorrelations(h, "Correlations", c.r, c.n);
    const auto* table = h.Find<OmPivotTable>("Correlations");
    ASSERT_NE(table, nullptr);
    const auto r = NumberAt(*table, Place("x", "Pearson Correlation", "y"));
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(*r != kSysmis, c.pooledR);
    if (c.note) {
      const At sig = Place("x", "Significance(2-tailed)", "y");
      EXPECT_EQ(NumberAt(*table, sig), kSysmis);
      EXPECT_EQ(NotesOf(*table, CellAt(*table, sig)), Strings{*c.note});
    }
  }
}

// "Correlations" computed with listwise deletion report N in footnotes, per split group.
TEST(MICorrMatrixPattern, ListwiseNComesFromFootnotes) {
  MiFlagsReset reset;
  Harness h;
  h.Open("Correlations");
  MiTable t(h.w, 0, "Correlations", "Correlations",
            {"var:sex", kImputation, "Rows", "Statistics", "Columns"});
  const std::vector<double> r1 = {0.41, 0.35, 0.44}, r2 = {0.21, 0.28, 0.19};
  for (int i = 1; i <= 3; ++i)
    for (const char* sex : {"1", "2"}) {
      const double r = (sex[0] == '1' ? r1 : r2)[static_cast<std::size_t>(i - 1)];
      t.Cell({sex, std::to_string(i), "x", "Pearson Correlation", "y"}, r);
      t.Cell({sex, std::to_string(i), "x", "Significance(2-tailed)", "y"}, 0.01);
    }
  // "sex=1:Listwise N=25" and "sex=2:Listwise N=40", footnotes of the table.
  for (auto [sex, n] : {std::pair{1.0, 25.0}, {2.0, 40.0}}) {
    h.w.String(7, "[:^1=^2,:]1\\:Listwise N=^2", true);
    h.w.Composite(5, 7);
    h.w.RepeatBegin();
    h.w.Variable(8, "sex", "");
    h.w.CompositeAdd(8);
    h.w.NumValue(8, "sex", sex, WireFormat::Fixed(8, 0), "");
    h.w.CompositeAdd(8);
    h.w.RepeatEnd();
    h.w.Number(8, n, WireFormat::Fixed(8, 0));
    h.w.CompositeAdd(8);
    h.w.Footnote(omf::stream::FootnoteTarget::Title, 5);
  }
  t.End();
  h.End();
  const auto* table = h.Find<OmPivotTable>("Correlations");
  ASSERT_NE(table, nullptr);
  for (auto [sex, r, n] : {std::tuple{"1", r1, 25.0}, {"2", r2, 40.0}}) {
    SCOPED_TRACE(sex);
    const auto expected = PoolDirect(r, {n, n, n});
    const auto at = [&](const char* stat) {
      return At{
          {"var:sex", sex}, {kImputation, "Pooled"}, {"Rows", "x"}, {"Statistics", stat}, {"Columns", "y"}};
    };
    EXPECT_NEAR(*NumberAt(*table, at("Pearson Correlation")), expected.first, 1e-12);
    EXPECT_NEAR(*NumberAt(*table, at("Significance(2-tailed)")), expected.second, 1e-12);
  }
  EXPECT_EQ(Dim(*table, "N"), -1);
  EXPECT_EQ(Labels(*table, "Statistics"), (Strings{"Pearson Correlation", "Significance(2-tailed)"}));
}

// A one-tailed table: p/2 is written, and the flag follows p against 0.02 and 0.1.
TEST(MICorrMatrixPattern, OneTailedTablesHalveTheSignificance) {
  MiFlagsReset reset;
  Harness h;
  h.Open("Non Par Corr");
  MiTable t(h.w, 0, "Correlations", "Correlations", {kImputation, "Rows", "Statistics", "Columns"});
  const std::vector<double> r = {0.33, 0.36, 0.30, 0.38, 0.35}, n = {45, 45, 46, 45, 45};
  for (std::size_t i = 0; i < r.size(); ++i) {
    const std::string imp = std::to_string(i + 1);
    t.Cell({imp, "x", "Correlation Coefficient", "y"}, r[i], WireFormat::Fixed(8, 3),
           {{"Corr. is significant at .05 level 1-tail...", "*"}});
    t.Cell({imp, "x", "Significance (1-tailed)", "y"}, 0.01, WireFormat::Fixed(8, 3));
    t.Cell({imp, "x", "N", "y"}, n[i], WireFormat::Fixed(8, 0));
  }
  t.End();
  h.End();
  const auto* table = h.Find<OmPivotTable>("Correlations");
  ASSERT_NE(table, nullptr);
  const auto [pooledR, p] = PoolDirect(r, n);
  const At sig = {
      {kImputation, "Pooled"}, {"Rows", "x"}, {"Statistics", "Significance (1-tailed)"}, {"Columns", "y"}};
  EXPECT_NEAR(*NumberAt(*table, sig), p / 2, 1e-12);
  const OmCellText* pooled = CellAt(
      *table,
      {{kImputation, "Pooled"}, {"Rows", "x"}, {"Statistics", "Correlation Coefficient"}, {"Columns", "y"}});
  ASSERT_NE(pooled, nullptr);
  EXPECT_NEAR(static_cast<const OmNumber*>(pooled)->Value(), pooledR, 1e-12);
  ASSERT_LE(p, 0.1);
  EXPECT_EQ(NotesOf(*table, pooled),
            Strings{p <= 0.02 ? "Correlation is significant at the 0.01 level (1-tailed)."
                              : "Correlation is significant at the 0.05 level (1-tailed)."});
}

} // namespace
