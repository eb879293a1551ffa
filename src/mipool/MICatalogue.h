#pragma once
// The multiple-imputation catalogue: which table of which procedure is pooled, by which pattern, and where
// the statistics stand. Every rule is one row of a constant table, in pooling order (when several rows
// fit a table they pool it one after another); the rows become pattern objects on first use, which live
// for the rest of the process.
#include <memory>
#include <span>
#include <vector>

#include <omf/mipool/MIPattern.h>

namespace omf {

namespace mipool {

enum class MIPatternKind {
  kCell,      // statistics in one dimension: Rubin pooling and averages
  kPair,      // statistics addressed by a statistics and a type category
  kWhole,     // every numeric cell averaged
  kColumn,    // a model's parameter table
  kCorrMatrix // a correlation matrix
};

// A row's fields, by kind; a null text is not used. Statistics are category paths ("N#Valid").
struct MICellRow {
  const char* excluded; // no table with a dimension of this name
  const char* pair[2];  // estimate / standard error
  const char* rubin[6]; // estimate; standard error; test; df; significance; confidence interval
  const char* averaged[3];
};
struct MIPairRow {
  const char* type;           // the type dimension's name
  const char* estimate[2];    // statistic x type
  const char* stdError[2];    // statistic x type
  const char* averaged[1][2]; // statistic x type
};
struct MIColumnRow {
  const char* term; // the term dimension's name
  const char* estimate;
  const char* stdError;
  const char* interval;
  const char* correlation;
  const char* test;
  const char* significance;
  const char* redundant;
  const char* expB;
  const char* expBInterval;
  const char* wald;
  const char* df;
};
struct MICorrMatrixRow {
  const char* correlation;
  const char* n;
  const char* listwise; // the template of the listwise-N footnotes
  const char* flags[4]; // 0.05 one-tailed; 0.01 one-tailed; 0.05 two-tailed; 0.01 two-tailed
  const char* oneTailed;
  const char* twoTailed;
};

struct MICatalogueRow {
  MIPatternKind kind;
  const char* procedure;
  const char* table;
  const char* statistics = "Statistics"; // the statistics dimension's name
  MICellRow cell{};
  MIPairRow pair{};
  MIColumnRow column{};
  MICorrMatrixRow corr{};
};

// The rows, in catalogue order.
std::span<const MICatalogueRow> MICatalogueRows();

// The pattern of one row.
std::unique_ptr<OmMIPattern> MakePattern(const MICatalogueRow& row);

// The patterns of the rows whose procedure name equals `procedureTitle`, in catalogue order. A row's pattern
// is built the first time a procedure asks for it and kept for the rest of the process, so that a procedure
// with no rows builds nothing.
std::vector<const OmMIPattern*> MIPatternsOf(const OmCellText& procedureTitle);

} // namespace mipool

} // namespace omf
