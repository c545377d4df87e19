#!/usr/bin/env python3
"""The line each family of errors prints: every row is piped to velk in a fresh
folder with the library in lib/; velk must end with status 1 and one line on
standard error that opens with the row's message and then names the row's
statements in the row's order."""
import os, shutil, subprocess, sys, tempfile, time

velk, scripts = sys.argv[1:3]
L = "(stoi: invalid argument)"
ROWS = [
    ("x = (abc + 1)", f"`abc` is not a variable or a number {L}"),
    ("total = 1\nx = (totl + 1)", f"`totl` is not a variable or a number; did you mean `total`? {L}"),
    ("x = ( 1 + 2)", f"an empty term (two blanks in a row, a blank after `(`, or `()`) is not a variable or a number {L}"),
    ("x = 3000000000", "`3000000000` is outside the integer range -2147483648 to 2147483647 (stoi: out of range)"),
    ("x = 1.5e99", "`1.5e99` is beyond the float range, about -3.4e38 to 3.4e38 (stof: out of range)"),
    ('x = $int$("zz")', f"the text `zz` does not start with an integer {L}"),
    ('x = ("ab" + 3)', f"the string `ab` is not a number for `+` {L}"),
    ('x = (1 < "b")', "the string `b` is not a number for `<` (stof: invalid argument)"),
    ('$prnt$("hi")', f"`prnt` is not a variable, a function or a number; did you mean `print`? {L}"),
    ("square = { end 1 }\nsqre = 1\n$sqare", f"`sqare` is not a variable, a function or a number; did you mean `square`? {L}"),
    ('also ("dict")\nd = $dict\nr = $getdict$(d "missing")',
     "position out of range: `index` asks for position 0 of `values`, which has no items",
     'in the typed statement `r = $getdict$(d "missing")`', "inside it, in statement `index values position out`"),
]
failures = 0
for typed, message, *order in ROWS:
    with tempfile.TemporaryDirectory() as tmp:
        shutil.copytree(scripts, os.path.join(tmp, "lib"), ignore=shutil.ignore_patterns("repl.VELK"))
        run = subprocess.run([velk], input=(typed + "\n").encode(), cwd=tmp, capture_output=True, timeout=60)
    err = run.stderr.decode(errors="replace")
    at = [err.find(part) for part in order]
    if (run.returncode != 1 or err.count("\n") != 1 or not err.startswith(f"velk: error: {message};")
            or -1 in at or at != sorted(at)):
        print(f"--- {typed!r}: status {run.returncode}, standard error:\n{err}--- expected: {message} {order}")
        failures += 1
# A misspelt name in a scope of very many variables is told as quickly.
names = "".join(f"v{i:06d} = {i}\n" for i in range(100000))
took = []
for last in ("x = (v000001 + 1)", "x = (v00001 + 1)"):
    start = time.monotonic()
    run = subprocess.run([velk, "-"], input=(names + last + "\n").encode(), capture_output=True, timeout=60)
    took.append(time.monotonic() - start)
if b"did you mean `v000001`?" not in run.stderr or took[1] > took[0] + 1:
    print(f"--- 100000 variables: {took[1]:.2f}s against {took[0]:.2f}s without the error; {run.stderr[:200]!r}")
    failures += 1
sys.exit(1 if failures else 0)
