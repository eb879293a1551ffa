#include <omf/lookups/PoolingLookups.h>

#include <cmath>
#include <cstdint>
#include <functional>

#include <omf/platform/pooling/PoolingErrors.h>
#include <omf/platform/strings/PlatformStrings.h>

namespace omf {

namespace {

constexpr const char* kImputationVariable = "Imputation_";
constexpr const char* kBootstrapVariable = "$bootstrap_split";
constexpr const char* kPooledLabel = "Pooled";
// The data value of the original data: imputation 0.
constexpr std::uint32_t kOriginalDataFormat = 0x05000000;
// The format of the system-missing number that carries a footnote of an empty cell.
constexpr std::uint32_t kMissingCellFormat = MakeFormat(5, 5, 0);
// A label that names a category by a confidence interval without a level of its own.
constexpr double kDefaultConfidenceLevel = 0.95;

OmStringCell TranslatableText(const std::string& text) {
  return OmStringCell(text, nullptr, true);
}

// The subscript of the first leaf below `node` (depth first) that `matches`, or -1.
int FindLeaf(const OmDimensionNode& node, const std::function<bool(const OmDimensionNode&)>& matches) {
  for (std::size_t i = 0; i < node.ChildCount(); ++i) {
    const OmDimensionNode& child = node.Child(i);
    if (child.IsGroup()) {
      if (const int found = FindLeaf(child, matches); found != -1) return found;
    } else if (matches(child)) {
      return child.Subscript();
    }
  }
  return -1;
}

// The first node below `node`, a node before its children, whose label reads as `text`.
const OmDimensionNode* FindNodeByText(const OmDimensionNode& node, const std::string& text) {
  for (std::size_t i = 0; i < node.ChildCount(); ++i) {
    const OmDimensionNode& child = node.Child(i);
    if (child.Label().AsString() == text) return &child;
    if (const OmDimensionNode* found = FindNodeByText(child, text)) return found;
  }
  return nullptr;
}

// Splits at '#'; a '#' at the end adds no empty element, two in a row give one.
std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> elements;
  std::size_t start = 0;
  while (start < path.size()) {
    const std::size_t hash = path.find('#', start);
    if (hash == std::string::npos) {
      elements.push_back(path.substr(start));
      break;
    }
    elements.push_back(path.substr(start, hash - start));
    start = hash + 1;
  }
  return elements;
}

int FindByPath(const OmDimensionNode& node, const std::vector<std::string>& elements, std::size_t at) {
  const bool last = at + 1 == elements.size();
  for (std::size_t i = 0; i < node.ChildCount(); ++i) {
    const OmDimensionNode& child = node.Child(i);
    int found = -1;
    if (child.Label().AsString() != elements[at]) {
      // A group that the path does not name may stand between two that it does.
      if (child.IsGroup()) found = FindByPath(child, elements, at);
    } else if (last) {
      if (!child.IsGroup()) found = child.Subscript();
    } else if (child.IsGroup()) {
      found = FindByPath(child, elements, at + 1);
    }
    if (found != -1) return found;
  }
  return -1;
}

int SampleNumberInArguments(const std::vector<OmComposite::Node>& nodes) {
  for (const OmComposite::Node& node : nodes) {
    int number = -1;
    if (!node.children.empty())
      number = SampleNumberInArguments(node.children);
    else if (node.text)
      number = BootstrapSampleNumber(*node.text);
    if (number != -1) return number;
  }
  return -1;
}

// The number if it is whole and fits 32 bits (NaN and the system-missing value do not).
int WholeNumber(double value) {
  if (!(value >= -2147483648.0 && value < 2147483648.0)) return -1;
  const auto whole = static_cast<std::int32_t>(value);
  return static_cast<double>(whole) == value ? whole : -1;
}

} // namespace

// ---- imputation and bootstrap split dimensions ---------------------------------------------------------

int FindImputationDimension(const OmPivotTable& table) {
  for (int d = 0; d < table.NDimensions(); ++d) {
    const OmCellText& label = table.Dimension(d).Label();
    if (label.OrderCode() == OmCellText::kOrderVariable &&
        VEXAMBstricmp_A(static_cast<const OmVariable&>(label).Name(), kImputationVariable) == 0)
      return d;
  }
  return -1;
}

int FindOriginalDataCategory(const OmPivotTable& table, int d) {
  const OmDimension& dimension = table.Dimension(d);
  const OmCellText& label = dimension.Label();
  const std::string variable = label.OrderCode() == OmCellText::kOrderVariable
                                   ? static_cast<const OmVariable&>(label).Name()
                                   : std::string(kImputationVariable);
  const OmNumDataValue original(variable, 0.0, kOriginalDataFormat, "", OmCellText::kModeNotSet);
  return FindLeaf(dimension.Root(), [&](const OmDimensionNode& n) { return n.Label().Equals(original); });
}

int FindOrAddPooledCategory(OmPivotTable& table, int d) {
  OmDimension& dimension = table.Dimension(d);
  const OmStringCell pooled = TranslatableText(kPooledLabel);
  const int found = dimension.FindChild(&dimension.Root(), pooled, false);
  if (found != -1) return dimension.Root().Child(static_cast<std::size_t>(found)).Subscript();
  return dimension.Child(&dimension.Root(), pooled, dimension.Size(), false)->Subscript();
}

int FindBootstrapDimension(const OmPivotTable& table) {
  return FindDimensionByLabel(table, OmVariable(kBootstrapVariable, "", OmCellText::kModeNotSet));
}

int BootstrapSampleNumber(const OmCellText& label) {
  switch (label.OrderCode()) {
  case OmCellText::kOrderNumDataValue: {
    const auto& value = static_cast<const OmNumDataValue&>(label);
    return value.VariableName() == kBootstrapVariable ? WholeNumber(value.Value()) : -1;
  }
  case OmCellText::kOrderString: {
    const std::string text = label.AsString();
    const std::string_view variable = kBootstrapVariable;
    std::size_t at = text.find(variable);
    if (at == std::string::npos) return -1;
    at = text.find_first_not_of(" =", at + variable.size());
    if (at == std::string::npos || text[at] < '0' || text[at] > '9') return -1;
    return text[at] - '0';
  }
  case OmCellText::kOrderComposite:
    return SampleNumberInArguments(static_cast<const OmComposite&>(label).Arguments());
  default:
    return -1;
  }
}

// ---- dimensions and categories -------------------------------------------------------------------------

int FindDimensionByLabel(const OmPivotTable& table, const OmCellText& label) {
  for (int d = 0; d < table.NDimensions(); ++d)
    if (table.Dimension(d).Label().Equals(label)) return d;
  return -1;
}

int FindCategory(const OmDimensionNode& node, const OmCellText& label) {
  return FindLeaf(node, [&](const OmDimensionNode& n) { return n.Label().Equals(label); });
}

int FindOrAddCategory(OmDimension& dimension, const std::string& label) {
  const OmStringCell text = TranslatableText(label);
  const int found = FindCategory(dimension.Root(), text);
  if (found != -1) return found;
  return dimension.Child(&dimension.Root(), text, dimension.Size(), false)->Subscript();
}

int FindOrAddCategory(OmPivotTable& table, int d, const std::string& label) {
  return FindOrAddCategory(table.Dimension(d), label);
}

int FindCategoryByPath(const std::string& path, const OmDimension& dimension) {
  const std::vector<std::string> elements = SplitPath(path);
  return elements.empty() ? -1 : FindByPath(dimension.Root(), elements, 0);
}

bool FindConfidenceInterval(const OmDimension& dimension, const std::string& label, int& second, int& first,
                            double& level) {
  second = -1;
  first = -1;
  level = kDefaultConfidenceLevel;
  const OmDimensionNode* node = FindNodeByText(dimension.Root(), label);
  if (!node) return false;
  if (node->Label().OrderCode() == OmCellText::kOrderComposite) {
    const auto& arguments = static_cast<const OmComposite&>(node->Label()).Arguments();
    if (arguments.size() == 1 && arguments[0].text &&
        arguments[0].text->OrderCode() == OmCellText::kOrderNumber) {
      level = static_cast<const OmNumber&>(*arguments[0].text).Value();
      if (level >= 1.0) level /= 100.0; // a percentage
    }
  }
  if (node->ChildCount() != 2) return false;
  first = node->Child(0).Subscript();
  second = node->Child(1).Subscript();
  return true;
}

// ---- footnotes -----------------------------------------------------------------------------------------

int FindFootnote(const OmPivotTable& table, const OmCellText& text) {
  const auto& footnotes = table.Footnotes();
  for (std::size_t i = 0; i < footnotes.size(); ++i)
    if (footnotes[i].text && footnotes[i].text->Equals(text)) return static_cast<int>(i);
  return -1;
}

int AddCellFootnote(const std::string& text, OmPivotTable& table, OmCellText& cell) {
  const int index = table.Footnote(OmFootnote(nullptr, TranslatableText(text)), false);
  cell.Footnote(index);
  return index;
}

void AddPoolingErrorFootnote(OmPivotTable& table, const std::vector<int>& at, long code) {
  const int index = table.Footnote(OmFootnote(nullptr, TranslatableText(GetPoolingErrorString(code))), false);
  EnsureCellFootnote(table, at, index);
}

void EnsureCellFootnote(OmPivotTable& table, const std::vector<int>& at, int index) {
  OmCellText* cell = table.Cell(at);
  if (!cell) {
    table.SetCell(at, OmCellTextPtr(new OmNumber(kSysmis, kMissingCellFormat)));
    cell = table.Cell(at);
  }
  cell->Footnote(index);
}

// ---- estimates -----------------------------------------------------------------------------------------

bool FisherZ(std::vector<double>& values) {
  for (double& v : values) {
    const bool inside = v > -1.0 && v < 1.0;
    v = 0.5 * std::log((1.0 + v) / (1.0 - v));
    if (!inside) return false;
  }
  return true;
}

void InverseFisherZ(std::vector<double>& values) {
  for (double& v : values) {
    const double e = std::exp(2.0 * v);
    // For very large z, e^{2z} overflows and the quotient would read ∞/∞; its limit is 1.
    v = std::isinf(e) ? 1.0 : (e - 1.0) / (e + 1.0);
  }
}

double MeanOf(const std::vector<double>& values) {
  if (values.empty()) return kSysmis;
  double sum = 0.0;
  for (double v : values)
    sum += v;
  return sum / static_cast<double>(values.size());
}

} // namespace omf
