#!/usr/bin/env python3
"""Checks the editor files against sample.VELK beside this file: a VELK text
whose lines starting with "#" say which scope each marked place must have
(the TextMate grammar test format: `^` under the places, or `<-` with one
dash per byte from the start of the line).

  highlighting.py vim             Vim, headless: the highlight group at each
                                  place, the scope mapped to the group below
  highlighting.py textmate TOOL   editors/velk.tmLanguage.json, with the
                                  vscode-tmgrammar-test program TOOL

Exits 77 (skipped) when vim or the tool is not there.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
EDITORS = os.path.join(HERE, "..", "..", "editors")
SAMPLE = os.path.join(HERE, "sample.VELK")
# The Vim group for each scope of the grammar.
VIM_GROUPS = {
    "keyword.control": "velkKeyword", "keyword.operator.logical": "velkLogic", "keyword.operator": "velkOperator",
    "constant.numeric": "velkNumber", "variable.language": "velkSpecial", "variable.function": "velkCall",
    "support.function.builtin": "velkBuiltin", "punctuation.separator.arguments": "velkCallDelim",
    "keyword.other.import": "velkImport", "punctuation.section.block": "velkBrace",
    "punctuation.section.group": "velkParen", "string.quoted": "velkString",
}


def places():
    """The sample's VELK lines, and (line, column, Vim group) for each marked byte, from 1."""
    source, marks = [], []
    for line in open(SAMPLE, encoding="utf-8").read().splitlines()[1:]:
        m = re.match(r"#( *)(\^+|<-+) (\S+)", line)
        if not m:
            source.append(line)
            continue
        start = 0 if m.group(2).startswith("<") else len(m.group(1)) + 1
        group = next(g for scope, g in VIM_GROUPS.items() if m.group(3).startswith(scope + "."))
        for col in range(start, start + len(m.group(2).lstrip("<"))):
            marks.append((len(source), col + 1, group))
    return source, marks


def check_vim():
    if not shutil.which("vim"):
        print("vim is not installed: skipped")
        return 77
    source, marks = places()
    with tempfile.TemporaryDirectory() as tmp:
        script, out = os.path.join(tmp, "sample.VELK"), os.path.join(tmp, "groups")
        with open(script, "w", encoding="utf-8") as f:
            f.write("\n".join(source) + "\n")
        positions = ",".join(f"[{l},{c}]" for l, c, _ in marks)
        commands = [
            "set nocompatible", f"let &runtimepath = '{os.path.abspath(EDITORS)}/vim,' . &runtimepath",
            "filetype on", "syntax on", f"edit {script}",
            f"call writefile([&filetype] + map([{positions}], "
            "{_, p -> synIDattr(synID(p[0], p[1], 1), 'name')}), '" + out + "')", "qall!"]
        args = ["vim", "-N", "-u", "NONE", "-i", "NONE", "-es"]
        for c in commands:
            args += ["-c", c]
        subprocess.run(args, stdin=subprocess.DEVNULL, timeout=60)
        got = open(out, encoding="utf-8").read().splitlines()
    problems = [] if got[0] == "velk" else [f"*.VELK is detected as {got[0]!r}, not velk"]
    for (line, col, want), actual in zip(marks, got[1:]):
        if actual != want:
            problems.append(f"line {line}, column {col} ({source[line - 1][col - 1]!r}): {actual or 'no group'}, "
                            f"expected {want}")
    print("\n".join(problems) or f"{len(marks)} places highlighted as expected")
    return 1 if problems else 0


def check_textmate(tool):
    if not os.access(tool, os.X_OK) or not shutil.which("node"):
        print(f"{tool} is not installed (.ci/run installs it with npm): skipped")
        return 77
    grammar = os.path.join(EDITORS, "velk.tmLanguage.json")
    return subprocess.run([tool, "-g", grammar, SAMPLE], timeout=120).returncode and 1


if __name__ == "__main__":
    if sys.argv[1:2] == ["vim"]:
        sys.exit(check_vim())
    if sys.argv[1:2] == ["textmate"] and len(sys.argv) == 3:
        sys.exit(check_textmate(sys.argv[2]))
    sys.exit(__doc__)
