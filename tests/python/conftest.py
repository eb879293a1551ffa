# Shared fixtures: the omf command that ctest names, the built-in session as a stream, and its exports.
import json
import os
import subprocess

import pytest


@pytest.fixture(scope="session")
def omf_binary():
    return os.environ["OMF_BINARY"]


def run_omf(omf_binary, *args, check=True):
    """The command's outcome, its output decoded as it stands (CSV lines end in CRLF)."""
    result = subprocess.run([omf_binary, *map(str, args)], capture_output=True)
    result.stdout = result.stdout.decode("utf-8")
    result.stderr = result.stderr.decode("utf-8")
    if check:
        assert result.returncode == 0, result.stderr
    return result


@pytest.fixture(scope="session")
def session_stream(omf_binary, tmp_path_factory):
    path = tmp_path_factory.mktemp("session") / "session.omfs"
    run_omf(omf_binary, "example", "--format", "omfs", "-o", path)
    return path


@pytest.fixture(scope="session")
def json_tables(omf_binary, session_stream):
    """The visible tables of the built-in session's JSON export, in tree order."""
    doc = json.loads(run_omf(omf_binary, "render", "--format", "json", session_stream).stdout)
    tables = []

    def walk(parts):
        for part in parts:
            if part["type"] == "table" and part["visible"]:
                tables.append(part)
            walk(part.get("parts", []))

    walk(doc["parts"])
    return tables
