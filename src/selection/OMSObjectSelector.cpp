#include <omf/selection/OMSObjectSelector.h>

#include <omf/selection/Precondition.h>
#include <omf/selection/SelectionStream.h>

#include <cmath>
#include <istream>
#include <ostream>
#include <stdexcept>

namespace omf {

using omf::selection::detail::Require;
using omf::selection::detail::StreamReader;
using omf::selection::detail::StreamWriter;

namespace {
constexpr double kDefaultChartSize = 100.0;
constexpr const char* kDefaultChartSizeText = "100";
} // namespace

struct OMSObjectSelector::Impl {
  bool _notesSpecified = false;
  bool _showNotesTables = true;
  std::uint32_t _selection = 0;
  std::uint32_t _infoSelection = 0;
  OMSSelector _ifOption;
  OMSSelector _exceptIfOption;
  OMSColumns _columns;
  bool _destinationIsViewer = true;
  bool _viewerSpecified = false;
  std::string _numberedColumnName;
  bool _numberedColumnNameIsDefault = true;
  bool _exportImages = true;
  bool _exportImagesSpecified = false;
  bool _exportImageMaps = false;
  ImageFormat _imageFormat{};
  bool _imageFormatSpecified = false;
  std::string _imageRootName;
  double _chartSize = kDefaultChartSize;
  std::string _chartSizeText = kDefaultChartSizeText;
  bool _chartSizeSpecified = false;
  std::string _tableStyle;
  ImageType _chartFormat{};
  bool _chartFormatSpecified = false;
  ImageType _treeFormat{};
  bool _treeFormatSpecified = false;
  ImageType _modelFormat{};
  bool _modelFormatSpecified = false;
  bool _pivotingAllowed = true;
  bool _pivotingAllowedSpecified = false;
  std::string _scriptFile;
  std::string _tag;
  bool _noWarning = false;
};

namespace {

// Whether one criterion set accepts the object; an absent criterion accepts everything. Subtypes are a
// property of pivot tables only, so other types pass the subtype test.
bool CriteriaMatch(const OMSSelector& set, short type, std::string_view command, std::string_view subtype,
                   std::string_view label) {
  const bool commandOk = !set.HasCommands() || set.GetHasCommand(command);
  const bool subtypeOk =
      !set.HasSubtypes() || type != OMSObjectSelector::kTABLE || set.GetHasSubtype(subtype);
  const bool nameOk = !set.HasNames() || set.GetHasName(label);
  return commandOk && subtypeOk && nameOk;
}

} // namespace

OMSObjectSelector::OMSObjectSelector() : _my(std::make_unique<Impl>()) {}
OMSObjectSelector::OMSObjectSelector(const OMSObjectSelector& other)
    : _my(std::make_unique<Impl>(*other._my)) {}

OMSObjectSelector& OMSObjectSelector::operator=(const OMSObjectSelector& other) {
  if (this != &other) *_my = *other._my;
  return *this;
}

OMSObjectSelector::~OMSObjectSelector() = default;

void OMSObjectSelector::ShowNotesTables(bool show) {
  _my->_notesSpecified = true;
  _my->_showNotesTables = show;
}
bool OMSObjectSelector::ShowNotesTables() const {
  return _my->_showNotesTables;
}
bool OMSObjectSelector::NotesTablesSpecified() const {
  return _my->_notesSpecified;
}

void OMSObjectSelector::SelectType(std::uint32_t types) {
  _my->_selection |= types;
}
void OMSObjectSelector::UnSelectType(std::uint32_t types) {
  _my->_selection &= ~types;
}
std::uint32_t OMSObjectSelector::GetSelection() const {
  return _my->_selection;
}
void OMSObjectSelector::SetInfoSelection() {
  _my->_infoSelection = _my->_selection;
}
std::uint32_t OMSObjectSelector::GetInfoSelection() const {
  return _my->_infoSelection;
}

void OMSObjectSelector::AddIfOption(const OMSSelector& option) {
  if (!option.EmptySubcommand()) _my->_ifOption = option;
}
const OMSSelector& OMSObjectSelector::GetIfOption() const {
  return _my->_ifOption;
}
void OMSObjectSelector::AddExceptIfOption(const OMSSelector& option) {
  if (!option.EmptySubcommand()) _my->_exceptIfOption = option;
}
const OMSSelector& OMSObjectSelector::GetExceptIfOption() const {
  return _my->_exceptIfOption;
}

void OMSObjectSelector::SetColumn(const OMSColumns& columns) {
  _my->_columns = columns;
}
const OMSColumns& OMSObjectSelector::GetColumn() const {
  return _my->_columns;
}

void OMSObjectSelector::SetDestinationIsViewer(bool viewer) {
  _my->_destinationIsViewer = viewer;
  _my->_viewerSpecified = true;
}
bool OMSObjectSelector::GetDestinationIsViewer() const {
  return _my->_destinationIsViewer;
}
bool OMSObjectSelector::GetViewerSpecified() const {
  return _my->_viewerSpecified;
}

void OMSObjectSelector::SetNumberedColumnName(std::string_view name, bool isDefault) {
  _my->_numberedColumnName = std::string(name);
  _my->_numberedColumnNameIsDefault = isDefault;
}
const std::string& OMSObjectSelector::GetNumberedColumnName() const {
  return _my->_numberedColumnName;
}
bool OMSObjectSelector::IsNumberedColumnNameDefault() const {
  return _my->_numberedColumnNameIsDefault;
}

void OMSObjectSelector::SetExportImages(bool exportImages) {
  _my->_exportImages = exportImages;
  _my->_exportImagesSpecified = true;
}
bool OMSObjectSelector::GetExportImages() const {
  return _my->_exportImages;
}
bool OMSObjectSelector::ExportImagesSpecified() const {
  return _my->_exportImagesSpecified;
}
void OMSObjectSelector::SetExportImageMaps(bool imageMaps) {
  _my->_exportImageMaps = imageMaps;
}
bool OMSObjectSelector::GetExportImageMaps() const {
  return _my->_exportImageMaps;
}

void OMSObjectSelector::SetImageFormat(short format) {
  _my->_imageFormat = static_cast<ImageFormat>(format);
  _my->_imageFormatSpecified = true;
}
OMSObjectSelector::ImageFormat OMSObjectSelector::GetImageFormat() const {
  return _my->_imageFormat;
}
bool OMSObjectSelector::ImageFormatSpecified() const {
  return _my->_imageFormatSpecified;
}

void OMSObjectSelector::SetImageRootName(std::string_view name) {
  _my->_imageRootName = std::string(name);
}
const std::string& OMSObjectSelector::GetImageRootName() const {
  return _my->_imageRootName;
}
bool OMSObjectSelector::ImageRootNameSpecified() const {
  return !_my->_imageRootName.empty();
}

void OMSObjectSelector::SetChartSize(double size, std::string_view text) {
  _my->_chartSize = size;
  _my->_chartSizeText = std::string(text);
  _my->_chartSizeSpecified = true;
}
double OMSObjectSelector::GetChartSize() const {
  return _my->_chartSize;
}
const std::string& OMSObjectSelector::GetChartSizeString() const {
  return _my->_chartSizeText;
}
bool OMSObjectSelector::ChartSizeSpecified() const {
  return _my->_chartSizeSpecified;
}

void OMSObjectSelector::SetTableStyle(std::string_view style) {
  _my->_tableStyle = std::string(style);
}
const std::string& OMSObjectSelector::GetTableStyle() const {
  return _my->_tableStyle;
}

void OMSObjectSelector::SetChartFormat(ImageType format) {
  _my->_chartFormat = format;
  _my->_chartFormatSpecified = true;
}
OMSObjectSelector::ImageType OMSObjectSelector::GetChartFormat() const {
  return _my->_chartFormat;
}
bool OMSObjectSelector::ChartFormatSpecified() const {
  return _my->_chartFormatSpecified;
}
void OMSObjectSelector::SetTreeFormat(ImageType format) {
  _my->_treeFormat = format;
  _my->_treeFormatSpecified = true;
}
OMSObjectSelector::ImageType OMSObjectSelector::GetTreeFormat() const {
  return _my->_treeFormat;
}
bool OMSObjectSelector::TreeFormatSpecified() const {
  return _my->_treeFormatSpecified;
}
void OMSObjectSelector::SetModelFormat(ImageType format) {
  _my->_modelFormat = format;
  _my->_modelFormatSpecified = true;
}
OMSObjectSelector::ImageType OMSObjectSelector::GetModelFormat() const {
  return _my->_modelFormat;
}
bool OMSObjectSelector::ModelFormatSpecified() const {
  return _my->_modelFormatSpecified;
}

void OMSObjectSelector::SetPivotingAllowed(bool allowed) {
  _my->_pivotingAllowed = allowed;
  _my->_pivotingAllowedSpecified = true;
}
bool OMSObjectSelector::GetPivitingAllowed() const {
  return _my->_pivotingAllowed;
}
bool OMSObjectSelector::PivotingAllowedSpecified() const {
  return _my->_pivotingAllowedSpecified;
}

void OMSObjectSelector::SetJavaScriptFile(std::string_view file) {
  _my->_scriptFile = std::string(file);
}
const std::string& OMSObjectSelector::getJavaScriptFile() const {
  return _my->_scriptFile;
}

void OMSObjectSelector::SetOMSTag(std::string_view tag) {
  Require(tag.length() > 0, "tag.length() > 0");
  _my->_tag = std::string(tag);
}
const std::string& OMSObjectSelector::GetOMSTag() const {
  return _my->_tag;
}

void OMSObjectSelector::SetNoWarning() {
  _my->_noWarning = true;
}
bool OMSObjectSelector::GetNoWarning() const {
  return _my->_noWarning;
}

bool OMSObjectSelector::IsObjectSelected(short type, std::string_view command, std::string_view subtype,
                                         std::string_view label) const {
  // An explicit notes choice overrides the type mask and both criterion sets.
  if (type == static_cast<short>(kTABLE) && subtype == "Notes" && _my->_notesSpecified)
    return _my->_showNotesTables;
  if ((_my->_selection & static_cast<std::uint16_t>(type)) == 0) return false;
  const bool selected = CriteriaMatch(_my->_ifOption, type, command, subtype, label);
  // The EXCEPTIF subtypes exclude objects of every type, hence the test as a pivot table. An EXCEPTIF
  // set that names only instances excludes by instance number (IsInstanceSelected), not every object.
  const OMSSelector& except = _my->_exceptIfOption;
  const bool excluded = (except.HasCommands() || except.HasSubtypes() || except.HasNames()) &&
                        CriteriaMatch(except, static_cast<short>(kTABLE), command, subtype, label);
  return selected && !excluded;
}

bool OMSObjectSelector::IsInstanceSelected(std::int32_t instance) const {
  const OMSSelector& ifSet = _my->_ifOption;
  const OMSSelector& exceptSet = _my->_exceptIfOption;
  const bool selected = !ifSet.HasInstances() || ifSet.GetHasInstance(instance);
  const bool excluded = exceptSet.GetInstancesCount() > 0 && exceptSet.GetHasInstance(instance);
  return selected && !excluded;
}

bool OMSObjectSelector::IsLastInstanceSelected() const {
  return _my->_ifOption.GetHasLastInstance();
}
bool OMSObjectSelector::IsLastInstanceExcluded() const {
  return _my->_exceptIfOption.GetHasLastInstance();
}

void OMSObjectSelector::SwapBytes(bool swap) {
  _my->_ifOption.SwapBytes(swap);
  _my->_exceptIfOption.SwapBytes(swap);
  _my->_columns.SwapBytes(swap);
}

void OMSObjectSelector::WriteTo(StreamWriter& out) const {
  const Impl& my = *_my;
  out.Flag(my._showNotesTables);
  out.Int32(static_cast<std::int32_t>(my._selection));
  my._ifOption.WriteTo(out);
  my._exceptIfOption.WriteTo(out);
  my._columns.WriteTo(out);
  out.Flag(my._viewerSpecified);
  out.Flag(my._destinationIsViewer);
  out.Text(my._numberedColumnName, "the numbered column name");
  out.Flag(my._exportImages);
  out.Flag(my._exportImagesSpecified);
  out.Int16In4(my._imageFormat);
  out.Flag(my._imageFormatSpecified);
  out.Text(my._imageRootName, "the image root name");
  if (!std::isfinite(my._chartSize))
    throw std::invalid_argument("cannot stream the chart size: it is not a finite number");
  out.Double(my._chartSize);
  out.Text(my._chartSizeText, "the chart size text");
  out.Flag(my._chartSizeSpecified);
  out.Text(my._tag, "the tag");
  out.Flag(my._noWarning);
}

void OMSObjectSelector::ReadFrom(StreamReader& in) {
  Impl& my = *_my;
  my._showNotesTables = in.Flag("show notes tables");
  // The mask, image format and chart size are taken as they stand: the swap flag is the sets' and the
  // columns', not the request's.
  my._selection = in.UInt32("selection mask", false);
  {
    StreamReader::Scope scope(in, "IF set");
    my._ifOption.ReadFrom(in);
  }
  {
    StreamReader::Scope scope(in, "EXCEPTIF set");
    my._exceptIfOption.ReadFrom(in);
  }
  {
    StreamReader::Scope scope(in, "columns");
    my._columns.ReadFrom(in);
  }
  // A value marked as not given must be the default: the written form leaves it out, so any other value
  // could not be written back.
  const auto unlessDefault = [&](bool holds, std::string_view field, std::uint64_t at, std::string what) {
    if (!holds) in.Fail(field, at, what + ", yet it is marked as not given");
  };
  my._viewerSpecified = in.Flag("viewer specified");
  const std::uint64_t viewerAt = in.Offset();
  my._destinationIsViewer = in.Flag("destination is viewer");
  unlessDefault(my._viewerSpecified || my._destinationIsViewer, "destination is viewer", viewerAt,
                "objects do not go to the viewer");
  my._numberedColumnName = in.Text("numbered column name");
  const std::uint64_t imagesAt = in.Offset();
  my._exportImages = in.Flag("export images");
  my._exportImagesSpecified = in.Flag("export images specified");
  unlessDefault(my._exportImagesSpecified || my._exportImages, "export images", imagesAt,
                "images are not exported");
  const std::uint64_t formatAt = in.Offset();
  my._imageFormat = static_cast<ImageFormat>(in.Int16In4("image format"));
  my._imageFormatSpecified = in.Flag("image format specified");
  unlessDefault(my._imageFormatSpecified || my._imageFormat == 0, "image format", formatAt,
                "the image format is " + std::to_string(my._imageFormat));
  my._imageRootName = in.Text("image root name");
  const std::uint64_t sizeAt = in.Offset();
  my._chartSize = in.Double("chart size");
  if (!std::isfinite(my._chartSize)) in.Fail("chart size", sizeAt, "the chart size is not a finite number");
  my._chartSizeText = in.Text("chart size text");
  my._chartSizeSpecified = in.Flag("chart size specified");
  unlessDefault(my._chartSizeSpecified ||
                    (my._chartSize == kDefaultChartSize && my._chartSizeText == kDefaultChartSizeText),
                "chart size", sizeAt, "the chart size or its text differs from the default 100");
  my._tag = in.Text("tag");
  my._noWarning = in.Flag("no warning");
}

// Reads into a copy: the fields that are not streamed keep the reader's values, and a failed read changes
// nothing.
void omf::selection::detail::ReadObjectSelector(StreamReader& in, OMSObjectSelector& selector) {
  OMSObjectSelector read(selector);
  read.ReadFrom(in);
  selector = read;
}

std::ostream& operator<<(std::ostream& os, const OMSObjectSelector& selector) {
  StreamWriter out(os);
  selector.WriteTo(out);
  return os;
}

std::istream& operator>>(std::istream& is, OMSObjectSelector& selector) {
  StreamReader in(is);
  omf::selection::detail::ReadObjectSelector(in, selector);
  return is;
}

} // namespace omf
