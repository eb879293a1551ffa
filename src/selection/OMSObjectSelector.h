#pragma once
// One output selection request: which object types it selects, an IF and an EXCEPTIF criterion set, a
// column specification and export options. The library answers whether an object or an instance is
// selected; the export options are stored and streamed but not acted on. Exported and streamed between
// processes.
#include <omf/selection/OMSColumns.h>
#include <omf/selection/OMSSelector.h>

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace omf {

class OMSObjectSelector;
namespace selection::detail {
// Reads one request with a reader shared by a larger stream (a request file), so offsets run on.
void ReadObjectSelector(StreamReader& in, OMSObjectSelector& selector);
} // namespace selection::detail

class OMSObjectSelector {
public:
  // Image codes chosen by the caller; the library only carries them.
  enum ImageFormat : std::int16_t {};
  enum ImageType : std::int32_t {};

  // Object type bits, as the selection visitor passes them.
  static constexpr std::uint32_t kCHART = 1;
  static constexpr std::uint32_t kTEXT = 2;
  static constexpr std::uint32_t kLOG = 4;
  static constexpr std::uint32_t kWARNINGS = 8;
  static constexpr std::uint32_t kTABLE = 16;
  static constexpr std::uint32_t kHEADING = 32;
  static constexpr std::uint32_t kPAGETITLE = 64;
  static constexpr std::uint32_t kTREE = 128;
  static constexpr std::uint32_t kMODEL = 256;

  OMSObjectSelector();
  OMSObjectSelector(const OMSObjectSelector& other);
  OMSObjectSelector& operator=(const OMSObjectSelector& other);
  ~OMSObjectSelector();

  // Notes tables (pivot tables of subtype "Notes") are shown or hidden by this alone once it is called.
  void ShowNotesTables(bool show);
  bool ShowNotesTables() const;
  bool NotesTablesSpecified() const;

  void SelectType(std::uint32_t types);
  void UnSelectType(std::uint32_t types);
  std::uint32_t GetSelection() const;
  // Copies the current selection mask.
  void SetInfoSelection();
  std::uint32_t GetInfoSelection() const;

  // Replace the IF / EXCEPTIF set by a copy, unless the given set has no criterion.
  void AddIfOption(const OMSSelector& option);
  const OMSSelector& GetIfOption() const;
  void AddExceptIfOption(const OMSSelector& option);
  const OMSSelector& GetExceptIfOption() const;

  void SetColumn(const OMSColumns& columns);
  const OMSColumns& GetColumn() const;

  void SetDestinationIsViewer(bool viewer);
  bool GetDestinationIsViewer() const;
  bool GetViewerSpecified() const;

  void SetNumberedColumnName(std::string_view name, bool isDefault);
  const std::string& GetNumberedColumnName() const;
  bool IsNumberedColumnNameDefault() const;

  void SetExportImages(bool exportImages);
  bool GetExportImages() const;
  bool ExportImagesSpecified() const;
  void SetExportImageMaps(bool imageMaps);
  bool GetExportImageMaps() const;

  void SetImageFormat(short format);
  ImageFormat GetImageFormat() const;
  bool ImageFormatSpecified() const;

  void SetImageRootName(std::string_view name);
  const std::string& GetImageRootName() const;
  bool ImageRootNameSpecified() const;

  // The size and the text it was given as (for example 150 and "150").
  void SetChartSize(double size, std::string_view text);
  double GetChartSize() const;
  const std::string& GetChartSizeString() const;
  bool ChartSizeSpecified() const;

  void SetTableStyle(std::string_view style);
  const std::string& GetTableStyle() const;

  void SetChartFormat(ImageType format);
  ImageType GetChartFormat() const;
  bool ChartFormatSpecified() const;
  void SetTreeFormat(ImageType format);
  ImageType GetTreeFormat() const;
  bool TreeFormatSpecified() const;
  void SetModelFormat(ImageType format);
  ImageType GetModelFormat() const;
  bool ModelFormatSpecified() const;

  void SetPivotingAllowed(bool allowed);
  bool GetPivitingAllowed() const;
  bool PivotingAllowedSpecified() const;

  void SetJavaScriptFile(std::string_view file);
  const std::string& getJavaScriptFile() const;

  // The tag is never empty once set (std::logic_error for an empty one).
  void SetOMSTag(std::string_view tag);
  const std::string& GetOMSTag() const;

  void SetNoWarning();
  bool GetNoWarning() const;

  // Whether an object of the type (one type bit) with the command, table subtype and label is selected.
  bool IsObjectSelected(short type, std::string_view command, std::string_view subtype,
                        std::string_view label) const;
  // Whether the n-th selected object of a procedure (from 1) stays, as the instance numbers say.
  bool IsInstanceSelected(std::int32_t instance) const;
  bool IsLastInstanceSelected() const;
  bool IsLastInstanceExcluded() const;

  // Byte-reverse the 4-byte values of the IF set, EXCEPTIF set and columns on the next read.
  void SwapBytes(bool swap);

  // Stream block, native byte order: the notes flag, the selection mask, the IF, EXCEPTIF and columns
  // blocks, then the export options. A read that fails raises OMSStreamError and leaves the request
  // unchanged; fields that are not streamed keep the reader's values. Reading takes only what the setters
  // can make (flags 0 or 1, upper-cased criteria, an option marked as not given at its default, a finite
  // chart size), so that every request read has one written form that gives it back; writing a chart
  // size that is not finite throws std::invalid_argument.
  friend std::ostream& operator<<(std::ostream& os, const OMSObjectSelector& selector);
  friend std::istream& operator>>(std::istream& is, OMSObjectSelector& selector);

private:
  friend void omf::selection::detail::ReadObjectSelector(omf::selection::detail::StreamReader& in,
                                                         OMSObjectSelector& selector);
  void WriteTo(omf::selection::detail::StreamWriter& out) const;
  void ReadFrom(omf::selection::detail::StreamReader& in);

  struct Impl;
  std::unique_ptr<Impl> _my;
};

} // namespace omf
