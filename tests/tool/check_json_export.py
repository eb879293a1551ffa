#!/usr/bin/env python3
"""Checks the JSON export of omf against its schema and the rules the schema cannot state.

Renders the built-in session (in several languages and display modes) and every recorded stream and
message script of the repository's tests and examples with the built omf, and validates each document.
It also checks that the schema rejects documents with typical faults, so that a schema loosened by
mistake does not pass everything.

Usage: check_json_export.py --omf BINARY --schema FILE --root REPOSITORY
Exits 0 when every document is valid, 1 otherwise (with the first errors of each document).
"""
import argparse
import copy
import json
import os
import subprocess
import sys
import tempfile
from pathlib import Path

try:
    import jsonschema
except ImportError:
    sys.exit("check_json_export: the Python module jsonschema is missing "
             "(Debian package python3-jsonschema; scripts/setup installs it)")

# The built-in session with options that change what the export holds: translated texts, and each
# display mode in the procedures' display settings.
BUILTIN_RUNS = [
    [],
    ["--lang", "de"],
    ["--lang", "ja"],
    ["--variables", "names", "--values", "values"],
    ["--variables", "both", "--values", "both"],
]

# Where the repository keeps streams (.omfs) and message scripts (.omfscript) that play without error.
STREAM_FOLDERS = ["tests/data", "examples", "fuzz/corpus/stream", "fuzz/findings/stream"]


def render(omf, args):
    run = subprocess.run([omf, "render", "--format", "json", *args], capture_output=True)
    if run.returncode != 0:
        raise RuntimeError(f"omf render {' '.join(args)} exited {run.returncode}: "
                           f"{run.stderr.decode(errors='replace').strip()}")
    return json.loads(run.stdout)


def sources(root):
    """(name, arguments of omf render, script to assemble first or None) for every document to check."""
    for args in BUILTIN_RUNS:
        yield "built-in session " + " ".join(args), args, None
    for folder in STREAM_FOLDERS:
        base = root / folder
        if not base.is_dir():
            continue
        for path in sorted(base.rglob("*.omfs")):
            yield str(path.relative_to(root)), [str(path)], None
        for path in sorted(base.rglob("*.omfscript")):
            yield str(path.relative_to(root)), None, path


def where(path):
    return "/" + "/".join(str(p) for p in path)


def rule_errors(doc):
    """Faults that the schema does not catch: levels, subscripts, order and references."""
    errors = []

    def parts(items, level, path):
        for i, part in enumerate(items):
            at = path + ["parts", i]
            if part.get("level") != level:
                errors.append(f"{where(at)}: level {part.get('level')} where its place gives {level}")
            if part.get("type") == "table":
                table(part, at)
            parts(part.get("parts", []), level + 1, at)

    def table(t, path):
        n_dims = len(t["dimensions"])
        n_notes = len(t["footnotes"])

        def notes(indexes, at):
            for index in indexes:
                if index >= n_notes:
                    errors.append(f"{where(at)}: footnote {index} of {n_notes}")

        def nodes(items, at):
            for i, node in enumerate(items):
                notes(node.get("footnotes", []), at + [i])
                nodes(node.get("children", []), at + [i, "children"])

        for axis in ("rows", "columns", "layers"):
            for d in t[axis]:
                if d >= n_dims:
                    errors.append(f"{where(path + [axis])}: dimension {d} of {n_dims}")
        for d, dim in enumerate(t["dimensions"]):
            notes(dim.get("footnotes", []), path + ["dimensions", d])
            nodes(dim["categories"], path + ["dimensions", d, "categories"])
        notes(t["titleFootnotes"], path + ["titleFootnotes"])
        previous = None
        for c, cell in enumerate(t["cells"]):
            at = path + ["cells", c]
            if len(cell["at"]) != n_dims:
                errors.append(f"{where(at)}: {len(cell['at'])} subscripts for {n_dims} dimensions")
            if previous is not None and not previous < cell["at"]:
                errors.append(f"{where(at)}: {cell['at']} after {previous}")
            previous = cell["at"]
            notes(cell.get("footnotes", []), at)
            # null stands for the system-missing value and for the values JSON cannot hold
            if cell["kind"] == "number" and cell["value"] is None and cell["text"] not in (".", "NaN", "Inf",
                                                                                          "-Inf"):
                errors.append(f"{where(at)}: null value shown as {cell['text']!r}")

    parts(doc.get("parts", []), 1, [])
    return errors


def schema_errors(validator, doc):
    return [f"{where(e.absolute_path)}: {e.message}" for e in validator.iter_errors(doc)]


def first_cell(doc, kind):
    """Path (list of keys) to the first cell of a kind, depth first."""
    def search(items, path):
        for i, part in enumerate(items):
            for c, cell in enumerate(part.get("cells", [])):
                if cell["kind"] == kind:
                    return path + [i, "cells", c]
            found = search(part.get("parts", []), path + [i, "parts"])
            if found:
                return found
        return None
    return search(doc["parts"], ["parts"])


def first_part(doc, type_name):
    def search(items, path):
        for i, part in enumerate(items):
            if part["type"] == type_name:
                return path + [i]
            found = search(part.get("parts", []), path + [i, "parts"])
            if found:
                return found
        return None
    return search(doc["parts"], ["parts"])


def at(doc, path):
    for key in path:
        doc = doc[key]
    return doc


def faulty_documents(doc):
    """Copies of a valid document with one fault each, which the schema must reject."""
    number = first_cell(doc, "number")
    string = first_cell(doc, "string")
    procedure = first_part(doc, "procedure")
    table = first_part(doc, "table")
    assert number and string and procedure and table, "the built-in session has these parts"

    def change(description, edit):
        faulty = copy.deepcopy(doc)
        edit(faulty)
        return description, faulty

    return [
        change("a cell kind that does not exist", lambda d: at(d, number).update(kind="numeric")),
        change("a number without its format", lambda d: at(d, number).pop("format")),
        change("a number without its format name", lambda d: at(d, number).pop("formatName")),
        change("a format name that does not exist", lambda d: at(d, number).update(formatName="fixed")),
        change("a format of two numbers", lambda d: at(d, number).update(format=[8, 5])),
        change("a string cell with a value", lambda d: at(d, string).update(value=1)),
        change("a cell with a key of no cell", lambda d: at(d, string).update(colour="red")),
        change("a part type that does not exist", lambda d: at(d, procedure).update(type="section")),
        change("a procedure without its display", lambda d: at(d, procedure).pop("display")),
        change("a display mode name for values given to variables",
               lambda d: at(d, procedure)["display"].update(tableVariablesName="values")),
        change("a procedure with a key of tables", lambda d: at(d, procedure).update(cells=[])),
        change("a table without its title footnotes", lambda d: at(d, table).pop("titleFootnotes")),
        change("a category without its index",
               lambda d: at(d, table)["dimensions"][0]["categories"][0].pop("index")),
        change("a part level of 0", lambda d: d["parts"][0].update(level=0)),
        change("another format version", lambda d: d.update(omf=2)),
        change("cells out of order", lambda d: at(d, table)["cells"].reverse()),
        change("a cell with a subscript too few", lambda d: at(d, number)["at"].pop()),
        change("a footnote index beyond the list", lambda d: at(d, number).update(footnotes=[9999])),
        change("a child at its parent's level", lambda d: at(d, procedure).update(level=1)),
    ]


def code_block(markdown, after):
    """The first fenced code block after the line `after` of a Markdown text."""
    rest = markdown[markdown.index(after):]
    start = rest.index("```")
    start = rest.index("\n", start) + 1
    return rest[start:rest.index("```", start)]


def example_errors(omf, root, scratch):
    """The example of the format document must be what omf writes for the script it names."""
    script = code_block((root / "docs/message-script.md").read_text(encoding="utf-8"),
                        "<!-- example: small-table -->")
    shown = json.loads(code_block((root / "docs/json-format.md").read_text(encoding="utf-8"),
                                  "## An example"))
    source, stream = os.path.join(scratch, "example.omfscript"), os.path.join(scratch, "example.omfs")
    Path(source).write_text(script, encoding="utf-8")
    subprocess.run([omf, "assemble", source, "-o", stream], check=True, capture_output=True)
    if render(omf, [stream]) != shown:
        return ["docs/json-format.md: the example differs from what omf writes for the script example of "
                "docs/message-script.md"]
    return []


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--omf", required=True)
    parser.add_argument("--schema", required=True)
    parser.add_argument("--root", required=True)
    options = parser.parse_args()
    root = Path(options.root)

    schema = json.loads(Path(options.schema).read_text(encoding="utf-8"))
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)

    failed = False
    checked = 0
    builtin = None
    with tempfile.TemporaryDirectory() as scratch:
        for name, args, script in sources(root):
            try:
                if script is not None:
                    stream = os.path.join(scratch, script.stem + ".omfs")
                    run = subprocess.run([options.omf, "assemble", str(script), "-o", stream],
                                         capture_output=True)
                    if run.returncode != 0:
                        raise RuntimeError(f"omf assemble exited {run.returncode}: "
                                           f"{run.stderr.decode(errors='replace').strip()}")
                    args = [stream]
                doc = render(options.omf, args)
            except (RuntimeError, json.JSONDecodeError) as error:
                print(f"{name}: {error}")
                failed = True
                continue
            if builtin is None:
                builtin = doc
            errors = schema_errors(validator, doc) + rule_errors(doc)
            checked += 1
            if errors:
                failed = True
                print(f"{name}: {len(errors)} error(s)")
                for error in errors[:10]:
                    print("  " + error)
        for error in example_errors(options.omf, root, scratch):
            print(error)
            failed = True

    if builtin is not None:
        for description, faulty in faulty_documents(builtin):
            if not schema_errors(validator, faulty) and not rule_errors(faulty):
                print(f"the schema accepts {description}")
                failed = True

    print(f"check_json_export: {checked} document(s) checked" + (", with errors" if failed else ", all valid"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
