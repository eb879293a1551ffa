#pragma once
// Helpers for the selection tests: every field of a request as text (so that a failed comparison names the
// field), a request with every field away from its default, a byte builder for hand-made streams and an
// input stream that cannot seek.
#include <omf/selection/OMSObjectSelector.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <streambuf>
#include <string>
#include <vector>

namespace omf {

namespace selection_test {

inline std::string Show(const std::vector<std::string>& list) {
  std::string out;
  for (const std::string& s : list)
    out += "[" + s + "]";
  return out;
}

inline std::string Show(const OMSSelector& set) {
  std::string out = "commands" + Show(set.GetCommands()) + " subtypes" + Show(set.GetSubtypes()) + " labels" +
                    Show(set.GetNames()) + " instances";
  for (std::int32_t i : set.GetInstances()) {
    out += ' ';
    out += std::to_string(i);
  }
  return out + (set.GetHasLastInstance() ? " last" : "");
}

inline std::string Show(const OMSColumns& columns) {
  std::string out = "form " + std::to_string(columns.GetColumnsForm()) + " tokens";
  for (const OmParsedColumn& c : columns.GetSequences())
    out += " " + c.GetColumnToken() + "/" + std::to_string(c.GetAxis()) + "/" +
           std::to_string(c.GetNumber()) + "/" + std::to_string(c.IsAll());
  return out + " names" + Show(columns.GetDimNames());
}

struct Field {
  const char* name;
  bool streamed;
  std::function<std::string(const OMSObjectSelector&)> show;
};

// Every field of a request, in stream order, then the fields that are not streamed.
inline const std::vector<Field>& Fields() {
  using S = const OMSObjectSelector&;
  auto b = [](bool v) { return std::string(v ? "true" : "false"); };
  static const std::vector<Field> fields = {
      {"show notes tables", true, [=](S s) { return b(s.ShowNotesTables()); }},
      {"selection mask", true, [](S s) { return std::to_string(s.GetSelection()); }},
      {"IF set", true, [](S s) { return Show(s.GetIfOption()); }},
      {"EXCEPTIF set", true, [](S s) { return Show(s.GetExceptIfOption()); }},
      {"columns", true, [](S s) { return Show(s.GetColumn()); }},
      {"viewer specified", true, [=](S s) { return b(s.GetViewerSpecified()); }},
      {"destination is viewer", true, [=](S s) { return b(s.GetDestinationIsViewer()); }},
      {"numbered column name", true, [](S s) { return s.GetNumberedColumnName(); }},
      {"export images", true, [=](S s) { return b(s.GetExportImages()); }},
      {"export images specified", true, [=](S s) { return b(s.ExportImagesSpecified()); }},
      {"image format", true, [](S s) { return std::to_string(s.GetImageFormat()); }},
      {"image format specified", true, [=](S s) { return b(s.ImageFormatSpecified()); }},
      {"image root name", true, [](S s) { return s.GetImageRootName(); }},
      {"chart size", true, [](S s) { return std::to_string(s.GetChartSize()); }},
      {"chart size text", true, [](S s) { return s.GetChartSizeString(); }},
      {"chart size specified", true, [=](S s) { return b(s.ChartSizeSpecified()); }},
      {"tag", true, [](S s) { return s.GetOMSTag(); }},
      {"no warning", true, [=](S s) { return b(s.GetNoWarning()); }},
      {"notes specified", false, [=](S s) { return b(s.NotesTablesSpecified()); }},
      {"info selection", false, [](S s) { return std::to_string(s.GetInfoSelection()); }},
      {"numbered column name is default", false, [=](S s) { return b(s.IsNumberedColumnNameDefault()); }},
      {"export image maps", false, [=](S s) { return b(s.GetExportImageMaps()); }},
      {"table style", false, [](S s) { return s.GetTableStyle(); }},
      {"chart format", false,
       [=](S s) { return std::to_string(s.GetChartFormat()) + b(s.ChartFormatSpecified()); }},
      {"tree format", false,
       [=](S s) { return std::to_string(s.GetTreeFormat()) + b(s.TreeFormatSpecified()); }},
      {"model format", false,
       [=](S s) { return std::to_string(s.GetModelFormat()) + b(s.ModelFormatSpecified()); }},
      {"pivoting", false, [=](S s) { return b(s.GetPivitingAllowed()) + b(s.PivotingAllowedSpecified()); }},
      {"script file", false, [](S s) { return s.getJavaScriptFile(); }},
  };
  return fields;
}

enum class Which { kAll, kStreamed, kUnstreamed };

// The fields in which two requests differ, as "name: a | b".
inline std::vector<std::string> Differences(const OMSObjectSelector& a, const OMSObjectSelector& b,
                                            Which which = Which::kAll) {
  std::vector<std::string> out;
  for (const Field& f : Fields()) {
    if ((which == Which::kStreamed && !f.streamed) || (which == Which::kUnstreamed && f.streamed)) continue;
    if (f.show(a) != f.show(b)) out.push_back(std::string(f.name) + ": " + f.show(a) + " | " + f.show(b));
  }
  return out;
}

// A request with every field away from its default; `variant` changes the values.
inline OMSObjectSelector FullSelector(int variant = 0) {
  OMSObjectSelector s;
  s.ShowNotesTables(false);
  s.SelectType(OMSObjectSelector::kTABLE | OMSObjectSelector::kCHART | (variant == 0 ? 1024u : 2048u));
  s.SetInfoSelection();
  OMSSelector ifSet;
  ifSet.AddCommands(variant == 0 ? "Frequencies" : "Means");
  ifSet.AddCommands("Cross*");
  ifSet.AddSubtypes("Statistics");
  ifSet.AddNames("My \"Table\" \\ é");
  ifSet.AddInstances(2);
  ifSet.AddInstances(70000 + variant);
  ifSet.AddLastInstance();
  s.AddIfOption(ifSet);
  OMSSelector exceptSet;
  exceptSet.AddCommands("Regression");
  exceptSet.AddSubtypes("Notes");
  exceptSet.AddNames("Title\nline two");
  exceptSet.AddInstances(3);
  s.AddExceptIfOption(exceptSet);
  OMSColumns columns;
  columns.AddColumn(OmParsedColumn("R1"));
  columns.AddColumn(OmParsedColumn(variant == 0 ? "c12" : "C7"));
  columns.AddColumn(OmParsedColumn("Lall"));
  s.SetColumn(columns);
  s.SetDestinationIsViewer(false);
  s.SetNumberedColumnName(variant == 0 ? "Row" : "Line", false);
  s.SetExportImages(false);
  s.SetExportImageMaps(true);
  s.SetImageFormat(static_cast<short>(variant == 0 ? -3 : 9));
  s.SetImageRootName("img");
  s.SetChartSize(variant == 0 ? 150.5 : 80, variant == 0 ? "150.5" : "eighty");
  s.SetTableStyle("Compact");
  s.SetChartFormat(OMSObjectSelector::ImageType{2 + variant});
  s.SetTreeFormat(OMSObjectSelector::ImageType{3});
  s.SetModelFormat(OMSObjectSelector::ImageType{4});
  s.SetPivotingAllowed(false);
  s.SetJavaScriptFile("view.js");
  s.SetOMSTag(variant == 0 ? "main" : "second");
  s.SetNoWarning();
  return s;
}

// Builds byte streams by hand, in either byte order.
class Bytes {
public:
  explicit Bytes(std::endian order = std::endian::little) : _order(order) {}
  Bytes& U8(int v) {
    _bytes.push_back(static_cast<char>(v));
    return *this;
  }
  Bytes& I32(std::int32_t v) { return Put(&v, 4, _order); }
  // Values that readers take as they stand are in this machine's order whatever the builder's order.
  Bytes& NativeI32(std::int32_t v) { return Put(&v, 4, std::endian::native); }
  Bytes& NativeI16In4(std::int16_t v) {
    Put(&v, 2, std::endian::native);
    return U8(0).U8(0);
  }
  Bytes& NativeF64(double v) { return Put(&v, 8, std::endian::native); }
  Bytes& Text(const std::string& s) {
    _bytes += s;
    return U8(0);
  }
  Bytes& Raw(const std::string& s) {
    _bytes += s;
    return *this;
  }
  const std::string& str() const { return _bytes; }

private:
  Bytes& Put(const void* value, int size, std::endian order) {
    char buffer[8];
    std::memcpy(buffer, value, static_cast<std::size_t>(size));
    if (order != std::endian::native)
      for (int i = 0; i < size / 2; ++i)
        std::swap(buffer[i], buffer[size - 1 - i]);
    _bytes.append(buffer, static_cast<std::size_t>(size));
    return *this;
  }
  std::endian _order;
  std::string _bytes;
};

// Encodes a request field by field in the given order, independently of the library's writer. The mask,
// image format and chart size stay in this machine's order, since readers take them as they stand.
inline std::string Encode(const OMSObjectSelector& s, std::endian order) {
  Bytes out(order);
  const auto set = [&](const OMSSelector& x) {
    for (const auto* list : {&x.GetCommands(), &x.GetSubtypes(), &x.GetNames()}) {
      out.I32(static_cast<std::int32_t>(list->size()));
      for (const std::string& t : *list)
        out.Text(t);
    }
    out.I32(static_cast<std::int32_t>(x.GetInstancesCount()));
    for (std::int32_t i : x.GetInstances())
      out.I32(i);
    out.U8(x.GetHasLastInstance());
  };
  out.U8(s.ShowNotesTables()).NativeI32(static_cast<std::int32_t>(s.GetSelection()));
  set(s.GetIfOption());
  set(s.GetExceptIfOption());
  const OMSColumns& c = s.GetColumn();
  out.I32(c.GetColumnsForm()).I32(static_cast<std::int32_t>(c.GetSequences().size()));
  for (const OmParsedColumn& p : c.GetSequences())
    out.I32(p.GetAxis()).Text(p.GetColumnToken()).I32(p.GetNumber()).U8(p.IsAll());
  out.I32(static_cast<std::int32_t>(c.GetDimNames().size()));
  for (const std::string& n : c.GetDimNames())
    out.Text(n);
  out.U8(s.GetViewerSpecified()).U8(s.GetDestinationIsViewer()).Text(s.GetNumberedColumnName());
  out.U8(s.GetExportImages()).U8(s.ExportImagesSpecified()).NativeI16In4(s.GetImageFormat());
  out.U8(s.ImageFormatSpecified()).Text(s.GetImageRootName()).NativeF64(s.GetChartSize());
  out.Text(s.GetChartSizeString()).U8(s.ChartSizeSpecified()).Text(s.GetOMSTag()).U8(s.GetNoWarning());
  return out.str();
}

// Serves bytes but cannot seek or tell its position, like a pipe.
class UnseekableBuffer : public std::streambuf {
public:
  explicit UnseekableBuffer(std::string bytes) : _bytes(std::move(bytes)) {
    setg(_bytes.data(), _bytes.data(), _bytes.data() + _bytes.size());
  }

private:
  std::string _bytes;
};

} // namespace selection_test

} // namespace omf
