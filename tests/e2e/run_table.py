#!/usr/bin/env python3
"""Runs a table of end-to-end rows: velk started once per row, in one
temporary directory (with an empty lib folder) that holds the table's files,
each row's standard error compared byte for byte.

Sections as in a case file (see run_case.py, whose marks they use):
  ## given PATH     a file made before the first row
  ## run ARGS       a new row: velk started with ARGS (split as a shell does)
  ## stdin          what the row types
  ## stderr         everything the row must print on standard error
  ## status         its exit status (0 when the section is missing)
"""
import argparse
import os
import shlex
import shutil
import subprocess
import sys
import tempfile

from run_case import parse_case, section_bytes, visible


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--velk", required=True)
    ap.add_argument("table")
    opts = ap.parse_args()
    tmp = os.path.realpath(tempfile.mkdtemp(prefix="velk-table-"))
    rows, failures = [], 0
    try:
        os.mkdir(os.path.join(tmp, "lib"))
        for name, arg, lines in parse_case(opts.table):
            if name == "given":
                os.makedirs(os.path.dirname(os.path.join(tmp, arg)), exist_ok=True)
                with open(os.path.join(tmp, arg), "wb") as f:
                    f.write(section_bytes(lines))
            elif name == "run":
                rows.append({"args": shlex.split(arg), "stdin": b"", "stderr": b"", "status": 0})
            elif name in ("stdin", "stderr"):
                rows[-1][name] = section_bytes(lines)
            elif name == "status":
                rows[-1]["status"] = int("\n".join(lines))
            else:
                raise SystemExit(f"{opts.table}: unknown section '## {name}'")
        for row in rows:
            run = subprocess.run([os.path.abspath(opts.velk)] + row["args"], cwd=tmp, input=row["stdin"],
                                 capture_output=True, timeout=60)
            err = run.stderr.replace(tmp.encode(), b"<TMP>")
            if err != row["stderr"] or run.returncode != row["status"]:
                failures += 1
                print(f"--- velk {shlex.join(row['args'])}: status {run.returncode}, expected {row['status']}")
                print(f"--- expected standard error:\n{visible(row['stderr'])}--- actual:\n{visible(err)}")
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
