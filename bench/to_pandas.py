#!/usr/bin/python3
"""Times the 1000 x 1000 "Crosstabs" table as data from Python: playing its stream, to_pandas, and
omf export to CSV (the whole command, playing included), with the table's column variable as the
columns (the stream places both dimensions on the rows). Reports the best of a few runs.

    cmake --build --preset release --target omf_tool omf_python make_crosstab
    PYTHONPATH=build/release/python /usr/bin/python3 bench/to_pandas.py build/release
"""
import os
import subprocess
import sys
import tempfile
import time


def best(runs, action):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        result = action()
        times.append(time.perf_counter() - start)
    return min(times), result


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/release"
    side = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    sys.path.insert(0, os.path.join(build, "python"))
    import omf

    with tempfile.TemporaryDirectory() as work:
        stream = os.path.join(work, "crosstab.omfs")
        subprocess.run([os.path.join(build, "bench", "make_crosstab"), str(side), "-o", stream], check=True)
        played, doc = best(3, lambda: omf.play(stream))
        table = doc.tables()[0]
        converted, frame = best(5, lambda: table.to_pandas(columns=["Column variable"]))
        assert frame.shape == (side, side), frame.shape
        csv = os.path.join(work, "crosstab.csv")
        omf_binary = os.path.join(build, "tools", "omf", "omf")
        requests = os.path.join(work, "requests.txt")
        with open(requests, "w") as f:
            f.write('select tables\n  columns dimnames "Column variable"\nend\n')
        command = [omf_binary, "export", "--select", requests, stream, "-o", csv]
        exported, _ = best(3, lambda: subprocess.run(command, check=True))
        print(f"{side} x {side}: play {played * 1000:.0f} ms, to_pandas {converted * 1000:.0f} ms, "
              f"omf export to CSV (playing included) {exported * 1000:.0f} ms, "
              f"{os.path.getsize(csv) / 1e6:.1f} MB of CSV")


if __name__ == "__main__":
    main()
