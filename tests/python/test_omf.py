# The Python module omf and omf export checked against the values of the JSON export: every table of
# the built-in session as a data frame, as CSV files and as a workbook read back; the column
# specification in both forms, nested groups, layers, missing values, a translated session and the
# error for a dimension a table does not have.
import csv
import math
import os
from pathlib import Path

import pandas as pd
import pytest

import omf
from conftest import run_omf

EXPORT_DIR = Path(os.environ["OMF_TEST_EXPORT_DIR"])
CROSSTAB = "Region * Gender * Age group Crosstabulation"


def leaves(nodes, path=()):
    """The categories of a JSON dimension in display order, as (subscript, labels of the path)."""
    for node in nodes:
        if node.get("group"):
            yield from leaves(node["children"], path + (node["label"],))
        else:
            yield node["index"], path + (node["label"],)


class Shape:
    """Where each cell of a JSON table goes when the table's own column dimensions become columns."""

    def __init__(self, table):
        self.column_dims = list(table["columns"])
        placed = table["layers"] + table["rows"] + table["columns"]
        self.key_dims = [d for d in placed if d not in self.column_dims]
        self.key_dims += [d for d in range(len(table["dimensions"])) if d not in placed]
        self.categories = [list(leaves(dim["categories"])) for dim in table["dimensions"]]
        self.depth = [max(len(p) for _, p in cats) for cats in self.categories]

    def padded(self, d, position):
        path = self.categories[d][position][1]
        return path + ("",) * (self.depth[d] - len(path))

    def place(self, dims, at):
        index, labels = 0, ()
        for d in dims:
            positions = [s for s, _ in self.categories[d]]
            p = positions.index(at[d])
            index = index * len(positions) + p
            labels += self.padded(d, p)
        return index, labels

    def cells(self, table):
        for cell in table["cells"]:
            row, row_labels = self.place(self.key_dims, cell["at"])
            col, col_labels = self.place(self.column_dims, cell["at"])
            expected = cell["value"] if cell["kind"] == "number" else cell["text"]
            yield cell["at"], row, row_labels, col, col_labels, expected

    def key_fields(self, at):
        """The key fields of a cell's row as CSV writes them: each key category's labels joined."""
        fields = []
        for d in self.key_dims:
            p = [s for s, _ in self.categories[d]].index(at[d])
            fields.append(" / ".join(self.categories[d][p][1]))
        return fields


def same(actual, expected):
    if isinstance(expected, str):
        return actual == expected
    return isinstance(actual, (int, float)) and math.isclose(actual, expected, rel_tol=1e-12, abs_tol=1e-300)


def label_of(labels):
    """A pandas index entry: a tuple for several levels, the label itself for one."""
    return labels if len(labels) != 1 else labels[0]


@pytest.fixture(scope="module")
def doc(session_stream):
    return omf.play(session_stream)


def test_tables_are_the_visible_tables_in_order(doc, json_tables):
    tables = doc.tables()
    assert [(t.title, t.subtype, t.id) for t in tables] == [
        (j["tableTitle"], j["subtype"], j["id"]) for j in json_tables
    ]
    assert tables[2].procedure == "Frequencies"
    assert tables[2].dimensions == ["Statistics", "Gender"]


def test_every_table_in_all_three_forms_holds_the_cell_values(doc, json_tables, omf_binary, tmp_path):
    run_omf(omf_binary, "export", "--per-table", "-o", tmp_path / "csv")
    run_omf(omf_binary, "export", "-o", tmp_path / "book.xlsx")
    book = pd.read_excel(tmp_path / "book.xlsx", sheet_name=None, header=None, engine="openpyxl")
    index = book["Index"]
    assert list(index.iloc[0]) == ["Procedure", "Table", "Subtype", "Sheet"]
    assert len(index) == len(json_tables) + 1
    width = len(str(len(json_tables)))
    for n, (table, j) in enumerate(zip(doc.tables(), json_tables), start=1):
        shape = Shape(j)
        frame = table.to_pandas()
        keys = len(shape.key_dims)
        with open(tmp_path / "csv" / f"table-{n:0{width}}.csv", newline="", encoding="utf-8") as f:
            rows = list(csv.reader(f))
        sheet = book[index.iloc[n, 3]]
        assert (index.iloc[n, 1], index.iloc[n, 2]) == (j["tableTitle"], j["subtype"])
        # The header row of the CSV file and of the sheet agree.
        assert [("" if isinstance(v, float) and math.isnan(v) else v) for v in sheet.iloc[0]] == rows[0]
        assert frame.shape == (len(rows) - 1, len(rows[0]) - keys) == (len(sheet) - 1, len(sheet.columns) - keys)
        filled = 0
        for at, row, row_labels, col, col_labels, expected in shape.cells(j):
            assert same(frame.iat[row, col], expected), (j["tableTitle"], row, col)
            if keys:
                assert frame.index[row] == label_of(row_labels)
            if shape.column_dims:
                assert frame.columns[col] == label_of(col_labels)
            field = rows[row + 1][keys + col]
            assert field == expected if isinstance(expected, str) else float(field) == frame.iat[row, col]
            assert same(sheet.iat[row + 1, keys + col], expected)
            assert rows[row + 1][:keys] == shape.key_fields(at)
            assert list(sheet.iloc[row + 1, :keys]) == shape.key_fields(at)
            filled += 1
        # Every other field is empty.
        assert frame.notna().sum().sum() == filled
        assert sum(1 for r in rows[1:] for v in r[keys:] if v != "") == filled


def test_nested_groups_are_levels_of_a_multiindex(doc):
    gender = next(t for t in doc.tables() if t.title == "Gender").to_pandas()
    assert list(gender.index.names) == ["Gender", "Gender.1"]
    assert list(gender.index) == [
        ("Valid", "Male"),
        ("Valid", "Female"),
        ("Valid", "Total"),
        ("Missing", "System"),
        ("Total", ""),
    ]
    assert gender.loc[("Valid", "Female"), "Percent"] == 51
    assert math.isnan(gender.loc[("Missing", "System"), "Valid Percent"])
    by_gender = next(t for t in doc.tables() if t.title == "Gender").to_pandas(columns=["Gender"])
    assert list(by_gender.columns.names) == ["Gender", "Gender.1"]
    assert by_gender.loc["Frequency", ("Valid", "Male")] == 47


def test_layers_are_the_outermost_keys(doc):
    crosstab = next(t for t in doc.tables() if t.title == CROSSTAB).to_pandas()
    assert list(crosstab.index.names) == ["Age group", "Region"]
    assert list(crosstab.columns) == ["Male", "Female"]
    assert crosstab.loc[("40 and over", "South"), "Female"] == 16


@pytest.mark.parametrize(
    "names, tokens",
    [
        (["Gender"], ["C1"]),
        (["region"], ["R1"]),
        (["Gender", "Age group"], ["C1", "LALL"]),
        (["Age group", "Region", "Gender"], ["LALL", "RALL", "CALL"]),
    ],
)
def test_both_forms_of_the_column_specification(doc, names, tokens):
    table = next(t for t in doc.tables() if t.title == CROSSTAB)
    by_names, by_tokens = table.to_pandas(columns=names), table.to_pandas(columns=tokens)
    pd.testing.assert_frame_equal(by_names, by_tokens)
    levels = by_names.columns.names if isinstance(by_names.columns, pd.MultiIndex) else [by_names.columns.name]
    assert [level.lower() for level in levels] == [n.lower() for n in names]
    assert by_names.to_numpy().sum() == 7 + 12 + 17 + 9 + 14 + 19 + 11 + 16


def test_the_columns_clause_of_a_request_file(session_stream, omf_binary, tmp_path):
    requests = tmp_path / "requests.txt"
    requests.write_text('select tables\n  if subtypes "Crosstabulation"\n  columns dimnames "Region"\nend\n')
    doc = omf.play(session_stream, select=requests)
    assert [t.title for t in doc.tables()] == [CROSSTAB]
    frame = doc.tables()[0].to_pandas()
    assert list(frame.columns) == ["North", "South"]
    assert list(frame.index.names) == ["Age group", "Gender"]
    # A specification given to to_pandas wins over the request's.
    assert list(doc.tables()[0].to_pandas(columns="C1").columns) == ["Male", "Female"]
    exported = run_omf(omf_binary, "export", "--select", requests, session_stream).stdout
    assert exported.splitlines()[0] == "table,Age group,Gender,North,South"


def test_missing_values_and_texts(omf_binary, tmp_path):
    stream = tmp_path / "missing.omfs"
    run_omf(omf_binary, "assemble", EXPORT_DIR / "missing-values.omfscript", "-o", stream)
    frame = omf.play(stream).tables()[0].to_pandas()
    assert frame.loc["Group A", "Mean"] == 41.25
    assert math.isnan(frame.loc["Group A", "Median"])  # system-missing
    assert math.isnan(frame.loc["Group B", "Mean"])  # absent
    assert frame.loc["Group A", "Note"] == 'low, "very" low'
    assert frame["Mean"].dtype == "float64"
    exported = run_omf(omf_binary, "export", stream).stdout
    assert exported == 'table,Groups,Mean,Median,Note\r\n1048577,Group A,41.25,,"low, ""very"" low"\r\n1048577,Group B,,7,\r\n'


def test_a_translated_session(session_stream, doc, omf_binary, tmp_path):
    german = omf.play(session_stream, lang="de")
    assert german.outline()[0]["title"] == "Ausgabe"
    de = next(t for t in german.tables() if t.subtype == "Frequencies").to_pandas()
    en = next(t for t in doc.tables() if t.subtype == "Frequencies").to_pandas()
    assert list(de.columns) == ["Häufigkeit", "Prozent", "Gültige Prozente", "Kumulierte Prozente"]
    assert list(de.index)[0] == ("Gültig", "Male")
    assert (de.to_numpy() == en.to_numpy())[~en.isna().to_numpy()].all()
    run_omf(omf_binary, "export", "--lang", "de", "-o", tmp_path / "de.xlsx", session_stream)
    sheets = pd.read_excel(tmp_path / "de.xlsx", sheet_name=None, engine="openpyxl")
    assert list(sheets["Index"]["Procedure"])[:3] == ["Häufigkeiten"] * 3
    gender = sheets[sheets["Index"]["Sheet"][2]]
    assert list(gender.columns) == ["Gender", "Häufigkeit", "Prozent", "Gültige Prozente", "Kumulierte Prozente"]
    assert gender.iloc[0].tolist()[:3] == ["Gültig / Male", 47, 47]


def test_a_dimension_the_table_does_not_have(doc, session_stream, omf_binary, tmp_path):
    table = next(t for t in doc.tables() if t.title == "Gender")
    with pytest.raises(omf.ColumnError, match='table "Gender" has no dimension "Region"'):
        table.to_pandas(columns=["Region"])
    with pytest.raises(omf.ColumnError, match=r'has no layer dimension 1 \(L1\); it has 0'):
        table.to_pandas(columns="L1")
    with pytest.raises(ValueError, match="columns"):
        table.to_pandas(columns=["Gender", "gender"])
    requests = tmp_path / "requests.txt"
    requests.write_text('select tables\n  if subtypes "Frequencies"\n  columns dimnames "Region"\nend\n')
    result = run_omf(omf_binary, "export", "--select", requests, "-o", tmp_path / "out.csv", session_stream, check=False)
    assert result.returncode == 2
    assert result.stderr == 'omf: table "Gender" has no dimension "Region"; its dimensions are "Statistics", "Gender"\n'
    assert not (tmp_path / "out.csv").exists()


def test_outline_render_and_bad_arguments(doc, session_stream):
    outline = doc.outline()
    assert outline[0] == {"level": 1, "type": "heading", "title": "Output", "visible": True}
    assert {"level": 2, "type": "procedure", "title": "Frequencies", "visible": True} in outline
    assert sum(1 for part in outline if part["type"] == "table") == len(doc.tables())
    assert "<table" in doc.render("html")
    assert doc.render("text").startswith("Outline\n")
    assert doc.render("json").startswith('{"omf":1')
    with pytest.raises(ValueError, match="format"):
        doc.render("pdf")
    with pytest.raises(ValueError, match="Klingon"):
        omf.play(session_stream, lang="Klingon")
    with pytest.raises(RuntimeError, match="nope.omfs"):
        omf.play(Path(session_stream).parent / "nope.omfs")
