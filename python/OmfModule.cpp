// The Python module omf: recorded streams played into an output tree, the tree's outline and tables,
// a table as a pandas DataFrame shaped as the exports shape it, and the tree rendered.
//
//   doc = omf.play("session.omfs", lang="de", select="requests.txt")
//   doc.outline(); doc.tables()[0].to_pandas(columns=["Statistics"]); doc.render("html")
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include <omf/export/Export.h>
#include <omf/export/Session.h>
#include <omf/model/OutputTree.h>
#include <omf/model/PivotTable.h>
#include <omf/platform/path/PathFinder.h>
#include <omf/render/CellDisplay.h>
#include <omf/render/HtmlRenderer.h>
#include <omf/render/JsonRenderer.h>
#include <omf/render/TextRenderer.h>
#include <omf/selection/RequestFile.h>

namespace py = pybind11;
using namespace py::literals;
using namespace omf;

namespace {

struct Document {
  std::unique_ptr<data::Session> session;
  std::vector<data::ExportTable> tables;
};

struct Table {
  std::shared_ptr<Document> document;
  std::size_t index;
  const data::ExportTable& Info() const { return document->tables[index]; }
};

OmCellText::ModeType Mode(const std::optional<std::string>& word, bool variables) {
  if (!word) return OmCellText::kModeNotSet;
  if (*word == (variables ? "names" : "values")) return OmCellText::kModeNames;
  if (*word == "labels") return OmCellText::kModeLabels;
  if (*word == "both") return OmCellText::kModeBoth;
  throw std::invalid_argument("\"" + *word + "\" is not a display mode: give " +
                              (variables ? "names" : "values") + ", labels or both");
}

std::shared_ptr<Document> Play(const std::vector<std::filesystem::path>& paths,
                               std::optional<std::string> lang, std::optional<std::filesystem::path> select,
                               std::optional<std::string> variables, std::optional<std::string> values) {
  data::SessionOptions options;
  options.language = std::move(lang);
  if (select) {
    try {
      options.requests = selection::ReadRequestFile(*select);
    } catch (const std::exception& e) {
      throw std::invalid_argument(select->string() + ": " + e.what());
    }
  }
  options.variables = Mode(variables, true);
  options.values = Mode(values, false);
  auto document = std::make_shared<Document>();
  document->session = std::make_unique<data::Session>(std::move(options));
  for (const auto& path : paths) {
    if (std::filesystem::is_directory(path))
      throw std::runtime_error(path.string() + ": is a directory, not a file");
    try {
      document->session->PlayFile(path.string());
    } catch (const std::exception& e) {
      const std::string what = e.what();
      throw std::runtime_error(what.find(path.string()) != std::string::npos ? what
                                                                             : path.string() + ": " + what);
    }
  }
  document->session->Finish();
  document->tables = data::ExportTables(document->session->Tree(), document->session->Requests());
  return document;
}

const char* KindName(const OmOutputPart& part) {
  if (dynamic_cast<const OmProcedure*>(&part)) return "procedure";
  if (dynamic_cast<const OmPivotTable*>(&part)) return "table";
  if (dynamic_cast<const OmTextBlock*>(&part)) return "text";
  if (dynamic_cast<const OmPageTitle*>(&part)) return "pagetitle";
  if (dynamic_cast<const OmChart*>(&part)) return "chart";
  if (dynamic_cast<const OmModel*>(&part)) return "model";
  if (dynamic_cast<const OmAnswerTree*>(&part)) return "answertree";
  return "heading";
}

py::list Outline(const Document& document) {
  const OmOutputTree& tree = document.session->Tree();
  render::CodePages codePages(tree);
  py::list outline;
  for (std::size_t node = 1; node < tree.Count(); ++node) {
    const OmOutputPart& part = *tree.Part(node);
    outline.append(py::dict("level"_a = tree.Level(node), "type"_a = KindName(part),
                            "title"_a = render::DisplayText(part.Title(), codePages.Of(node)),
                            "visible"_a = part.IsVisible()));
  }
  return outline;
}

std::string Render(const Document& document, const std::string& format) {
  const data::Session& session = *document.session;
  const render::Words words = [&session](std::string_view english) {
    return session.Word(std::string(english));
  };
  if (format == "json") return render::JsonRenderer().Render(session.Tree());
  if (format == "html") return render::HtmlRenderer(words).Render(session.Tree());
  if (format == "text") return render::TextRenderer(words).Render(session.Tree());
  throw std::invalid_argument("\"" + format + "\" is not a format: give text, json or html");
}

// A column specification from Python: one text or a list of texts; texts that all read as axis
// tokens (R1, C2, LALL) are tokens, otherwise they are dimension names.
std::optional<OMSColumns> ColumnsFrom(const py::object& columns) {
  if (columns.is_none()) return std::nullopt;
  std::vector<std::string> items;
  if (py::isinstance<py::str>(columns))
    items.push_back(columns.cast<std::string>());
  else
    items = columns.cast<std::vector<std::string>>();
  OMSColumns wanted;
  bool tokens = !items.empty();
  for (const std::string& item : items)
    tokens = tokens && OmParsedColumn(item).IsValidToken();
  try {
    for (const std::string& item : items) {
      if (tokens)
        wanted.AddColumn(OmParsedColumn(item));
      else
        wanted.AddColumn(std::string_view(item));
    }
  } catch (const std::logic_error& e) {
    throw std::invalid_argument(std::string("columns: ") + e.what());
  }
  return wanted;
}

// One axis of the frame (its index or its columns): for each entry, the category of every dimension,
// as pandas levels and codes; the levels of a dimension are named by its label, the deeper ones with
// ".1", ".2" after it, as pandas names repeated columns.
py::object MakeIndex(const std::vector<data::FrameDimension>& dims, std::size_t count,
                     const std::function<std::size_t(std::size_t entry, std::size_t dim)>& category) {
  py::module_ pd = py::module_::import("pandas");
  if (dims.empty()) return py::none();
  py::list levels, codes, names;
  std::vector<py::array_t<std::int64_t>> codeArrays;
  for (std::size_t d = 0; d < dims.size(); ++d) {
    const data::FrameDimension& dim = dims[d];
    for (std::size_t level = 0; level < dim.depth; ++level) {
      std::vector<std::string> unique;
      std::unordered_map<std::string, std::int64_t> codeOf;
      std::vector<std::int64_t> categoryCode(dim.paths.size());
      for (std::size_t c = 0; c < dim.paths.size(); ++c) {
        const std::string& label = dim.paths[c][level];
        auto [it, added] = codeOf.emplace(label, static_cast<std::int64_t>(unique.size()));
        if (added) unique.push_back(label);
        categoryCode[c] = it->second;
      }
      py::array_t<std::int64_t> entryCodes(static_cast<py::ssize_t>(count));
      auto* out = entryCodes.mutable_data();
      for (std::size_t e = 0; e < count; ++e)
        out[e] = categoryCode[category(e, d)];
      levels.append(py::cast(unique));
      codes.append(entryCodes);
      names.append(level == 0 ? dim.label : dim.label + "." + std::to_string(level));
    }
  }
  if (py::len(levels) == 1)
    return pd.attr("Index")(levels[0], "dtype"_a = "object").attr("take")(codes[0]).attr("rename")(names[0]);
  return pd.attr("MultiIndex")("levels"_a = levels, "codes"_a = codes, "names"_a = names,
                               "verify_integrity"_a = false);
}

py::object ToPandas(const data::TableFrame& frame) {
  py::module_ pd = py::module_::import("pandas");
  const std::size_t rows = frame.RowCount(), cols = frame.ColumnCount();
  py::array_t<double, py::array::f_style> values(
      {static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(cols)});
  if (rows * cols > 0)
    std::memcpy(values.mutable_data(), frame.Numbers().data(), rows * cols * sizeof(double));
  py::object index =
      MakeIndex(frame.keys, rows, [&](std::size_t row, std::size_t k) { return frame.KeyCategory(row, k); });
  // Value column c's category of column dimension k: c in mixed radix, the last dimension fastest.
  std::vector<std::size_t> strides(frame.columns.size(), 1);
  for (std::size_t k = frame.columns.size(); k-- > 1;)
    strides[k - 1] = strides[k] * frame.columns[k].subscripts.size();
  py::object columns = frame.columns.empty()
                           ? py::object(pd.attr("Index")(py::make_tuple(std::string(data::kValueHeader))))
                           : MakeIndex(frame.columns, cols, [&](std::size_t c, std::size_t k) {
                               return c / strides[k] % frame.columns[k].subscripts.size();
                             });
  py::object df = pd.attr("DataFrame")(values, "index"_a = index, "columns"_a = columns, "copy"_a = false);
  if (frame.Texts().empty()) return df;
  // Columns that hold texts become object columns: their numbers stay floats, the rest texts or NaN.
  std::unordered_map<std::size_t, std::vector<std::pair<std::size_t, const std::string*>>> byColumn;
  for (const auto& [field, text] : frame.Texts())
    byColumn[field / rows].emplace_back(field % rows, &text);
  for (const auto& [c, texts] : byColumn) {
    py::array column = py::array(values[py::make_tuple(py::slice(0, static_cast<py::ssize_t>(rows), 1), c)])
                           .attr("astype")("object");
    for (const auto& [row, text] : texts)
      column[py::int_(row)] = py::str(*text);
    df.attr("isetitem")(c, column);
  }
  return df;
}

py::object TableToPandas(const Table& table, const py::object& columns) {
  const std::optional<OMSColumns> wanted = ColumnsFrom(columns);
  const data::ExportTable& info = table.Info();
  const OMSColumns* use = wanted ? &*wanted : info.columns;
  return ToPandas(data::MakeTableFrame(*info.table, use, info.codePage));
}

py::list Dimensions(const Table& table) {
  const data::ExportTable& info = table.Info();
  py::list labels;
  for (int d = 0; d < info.table->NDimensions(); ++d)
    labels.append(render::DisplayText(info.table->Dimension(d).Label(), info.codePage));
  return labels;
}

// The data directory of an installed module: the module lies in <prefix>/lib/python3/dist-packages and
// the data in <prefix>/share/omf. A module in the build tree finds the source tree's data by itself.
void FindInstalledData() {
  if (std::getenv("OMF_DATA_DIR") != nullptr) return;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&FindInstalledData), &info) == 0 || info.dli_fname == nullptr) return;
  std::error_code ec;
  const std::filesystem::path data =
      std::filesystem::path(info.dli_fname).parent_path() / ".." / ".." / ".." / "share" / "omf";
  if (std::filesystem::is_directory(data / "lang", ec))
    platform::SetDataDirectory(data.lexically_normal().string());
}

} // namespace

PYBIND11_MODULE(omf, m) {
  m.doc() = "The output factory: plays recorded output message streams into an output tree, gives its "
            "tables as pandas data frames and renders it as text, JSON or HTML.";
  py::register_exception<data::FrameError>(m, "ColumnError", PyExc_ValueError);
  FindInstalledData();
  m.def(
      "set_data_dir", [](const std::filesystem::path& dir) { platform::SetDataDirectory(dir.string()); },
      "dir"_a, "Where the string tables of the output languages are read from (as omf --data-dir).");

  py::class_<Table>(m, "Table", "A visible pivot table of a played document.")
      .def_property_readonly("title", [](const Table& t) { return t.Info().title; })
      .def_property_readonly("subtype", [](const Table& t) { return t.Info().subtype; })
      .def_property_readonly("procedure", [](const Table& t) { return t.Info().procedure; })
      .def_property_readonly("id", [](const Table& t) { return t.Info().id; })
      .def_property_readonly("dimensions", &Dimensions, "The labels of the table's dimensions, in order.")
      .def("to_pandas", &TableToPandas, "columns"_a = py::none(),
           "The table as a pandas.DataFrame. The dimensions named by `columns` (dimension names, or axis "
           "tokens such as 'R1', 'C2', 'LALL'; default: the columns clause of the request that selected "
           "the table, else the table's own column dimensions) become the columns, every other dimension "
           "the index; nested groups are levels of a MultiIndex. Numbers are floats, the system-missing "
           "value and absent cells NaN. Raises omf.ColumnError for a dimension the table does not have.")
      .def("__repr__", [](const Table& t) {
        return "<omf.Table \"" + t.Info().title + "\" (" + t.Info().subtype + ")>";
      });

  py::class_<Document, std::shared_ptr<Document>>(m, "Document", "The output tree of played streams.")
      .def("outline", &Outline,
           "Every part of the tree in order, as dicts with level (1 for top-level parts), type, title and "
           "visible.")
      .def(
          "tables",
          [](const std::shared_ptr<Document>& d) {
            std::vector<Table> tables;
            for (std::size_t i = 0; i < d->tables.size(); ++i)
              tables.push_back({d, i});
            return tables;
          },
          "The visible pivot tables, in tree order.")
      .def("render", &Render, "format"_a = "text", "The tree as text, json or html.")
      .def_property_readonly("warnings", [](const Document& d) { return d.session->Warnings(); });

  m.def(
      "play",
      [](const py::object& paths, std::optional<std::string> lang,
         std::optional<std::filesystem::path> select, std::optional<std::string> variables,
         std::optional<std::string> values) {
        std::vector<std::filesystem::path> list;
        if (py::isinstance<py::str>(paths) || py::hasattr(paths, "__fspath__"))
          list.push_back(paths.cast<std::filesystem::path>());
        else
          list = paths.cast<std::vector<std::filesystem::path>>();
        return Play(list, std::move(lang), std::move(select), std::move(variables), std::move(values));
      },
      "streams"_a, "lang"_a = py::none(), "select"_a = py::none(), "variables"_a = py::none(),
      "values"_a = py::none(),
      "Plays recorded streams (a path or a list of paths, in order) into one output tree. lang: the output "
      "language (as omf render --lang takes it); select: a selection request file; variables and values: "
      "how tables show them (names/values, labels or both).");
}
