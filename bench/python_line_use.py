#!/usr/bin/env python3
"""The line's use by an update through the Python module beside the vtc880 tool's, on the same image
against the same simulated device with its line model (each byte costs 10 bits of time at the line's
speed): programming time and throughput, the bytes and frames each way, how busy the line was while
programming, and whether the device received the same bytes. They should not differ.

    PYTHONPATH=build/default/python python3 bench/python_line_use.py [TOOL] [KIB]

TOOL defaults to build/default/src/cli/vtc880, KIB (the image's size) to 64.
"""

import json
import os
import random
import re
import subprocess
import sys
import tempfile

import vtc880

LINE = re.compile(r"^\s*([\d.]+) s\s+@(\d+)\s+\S+\s+(sent|received)\s+(.*)$")  # a --trace line


def line_figures(trace, programming_seconds):
    """Bytes and frames each way, and the line's busy time while programming, from a --trace file."""
    figures = {"bytes sent": 0, "bytes received": 0, "frames sent": 0, "frames received": 0}
    busy = 0.0
    programming = False
    for text in open(trace, encoding="utf-8", errors="replace"):
        match = LINE.match(text)
        if not match:
            continue
        speed, way, rest = int(match[2]), match[3], match[4]
        count = len(rest.split("bytes:")[1].split()) if "bytes:" in rest else 1
        if rest.startswith("frame"):
            figures["frames " + way] += 1
        figures["bytes " + way] += count
        programming = (programming or rest.startswith("frame ProgramChunk")) and not rest.startswith("frame Finish")
        if programming:
            busy += count * 10 / speed
    figures["line busy while programming"] = busy / programming_seconds
    return figures


def main():
    tool = sys.argv[1] if len(sys.argv) > 1 else "build/default/src/cli/vtc880"
    kib = int(sys.argv[2]) if len(sys.argv) > 2 else 64
    folder = tempfile.mkdtemp(prefix="vtc880-line-use-")
    source = os.path.join(folder, "app.bin")
    with open(source, "wb") as file:
        file.write(random.Random(880).randbytes(kib * 1024))
    recipe = os.path.join(folder, "bench.ini")
    with open(recipe, "w") as file:
        file.write(f"[VERSION]\nVALUE=1.0.0\n[INPUT]\nSOURCE_1={source}\nADDRESS_1=0x10000\n"
                   f"[RESULT]\nVALUE={folder}/bench.bin\n")
    image = vtc880.pack(recipe)

    def by_tool(port, trace):
        run = subprocess.run([tool, "--json", "update", image.path, "--port", port, "--trace", trace],
                             capture_output=True, text=True, check=True)
        result = next(e for e in map(json.loads, run.stdout.splitlines()) if e["event"] == "result")
        return result["phase_seconds"]

    def by_module(port, trace):
        return vtc880.update(port, image, trace=trace).check().phases

    rows = {}
    received = {}
    for name, run in [("vtc880 update", by_tool), ("vtc880.update()", by_module)]:
        trace = os.path.join(folder, name.replace(" ", "_") + ".trace")
        with vtc880.Simulator(line_model=True, erase_time_ms=200) as sim:
            phases = run(sim.port, trace)
            sim.wait_for_finish()
            received[name] = [(r.kind, r.code, r.data, r.text, r.speed) for r in sim.transcript()]
        figures = {"programming s": phases["programming"],
                   "KiB/s": image.data_bytes / 1024 / phases["programming"]}
        figures.update(line_figures(trace, phases["programming"]))
        rows[name] = figures

    print(f"An update of {image.data_bytes:,} bytes at 115200 baud, on the simulated device's line model")
    names = list(rows)
    print(f"{'':32}" + "".join(f"{n:>18}" for n in names))
    for key in rows[names[0]]:
        cells = []
        for n in names:
            value = rows[n][key]
            cells.append(f"{value:>17.1%} " if key.startswith("line busy") else
                         f"{value:>18.3f}" if isinstance(value, float) else f"{value:>18,}")
        print(f"{key:32}" + "".join(cells))
    same = received[names[0]] == received[names[1]]
    print(f"{'the device received the same':32}{'yes' if same else 'NO':>36}")
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
