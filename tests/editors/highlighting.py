#!/usr/bin/env python3
"""Checks the editor files against sample.VELK beside this file, whose lines
starting with "#" mark the scope of places in the line above (the format of
vscode-tmgrammar-test). `highlighting.py vim` reads Vim's highlight group at
each place, headless; `highlighting.py textmate TOOL` runs that tool on the
grammar. Exits 77 (skipped) when vim or the tool is missing."""

import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
EDITORS = os.path.normpath(os.path.join(HERE, "..", "..", "editors"))
SAMPLE = os.path.join(HERE, "sample.VELK")
VIM_GROUPS = {  # the Vim group for each scope of the grammar
    "keyword.control": "velkKeyword", "keyword.operator.logical": "velkLogic", "keyword.operator": "velkOperator",
    "constant.numeric": "velkNumber", "variable.language": "velkSpecial", "variable.function": "velkCall",
    "support.function.builtin": "velkBuiltin", "punctuation.separator.arguments": "velkCallDelim",
    "keyword.other.import": "velkImport", "punctuation.section.block": "velkBrace",
    "punctuation.section.group": "velkParen", "string.quoted": "velkString"}


def check_vim():
    if not shutil.which("vim"):
        return print("vim is missing: skipped") or 77
    source, marks = [], []  # (line, column, group), from 1
    for line in open(SAMPLE, encoding="utf-8").read().splitlines()[1:]:
        m = re.match(r"#( *)(\^+|<-+) (\S+)", line)
        if not m:
            source.append(line)
            continue
        start = 1 if m.group(2)[0] == "<" else len(m.group(1)) + 2
        group = next(g for scope, g in VIM_GROUPS.items() if m.group(3).startswith(scope + "."))
        marks += [(len(source), c, group) for c in range(start, start + len(m.group(2).lstrip("<")))]
    with tempfile.TemporaryDirectory() as tmp:
        script, out = os.path.join(tmp, "sample.VELK"), os.path.join(tmp, "groups")
        open(script, "w", encoding="utf-8").write("\n".join(source) + "\n")
        places = ",".join(f"[{l},{c}]" for l, c, _ in marks)
        commands = [f"let &runtimepath = '{EDITORS}/vim,' . &runtimepath", "filetype on", "syntax on",
                    f"edit {script}", f"call writefile([&filetype] + map([{places}], "
                    f"{{_, p -> synIDattr(synID(p[0], p[1], 1), 'name')}}), '{out}')", "qall!"]
        subprocess.run(["vim", "-N", "-u", "NONE", "-i", "NONE", "-es"] + [a for c in commands for a in ("-c", c)],
                       stdin=subprocess.DEVNULL, timeout=60)
        got = open(out, encoding="utf-8").read().splitlines()
    problems = [] if got[0] == "velk" else [f"*.VELK is detected as {got[0]!r}"]
    problems += [f"line {l}, column {c}: {g or 'no group'}, expected {want}"
                 for (l, c, want), g in zip(marks, got[1:]) if g != want]
    print("\n".join(problems) or f"{len(marks)} places highlighted as expected")
    return 1 if problems else 0


def check_textmate(tool):
    if not os.access(tool, os.X_OK) or not shutil.which("node"):
        return print(f"{tool} is missing (.ci/run installs it): skipped") or 77
    grammar = os.path.join(EDITORS, "velk.tmLanguage.json")
    return 1 if subprocess.run([tool, "-g", grammar, SAMPLE], timeout=120).returncode else 0


if __name__ == "__main__":
    sys.exit(check_vim() if sys.argv[1:] == ["vim"] else check_textmate(sys.argv[2]))
