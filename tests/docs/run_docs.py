#!/usr/bin/env python3
"""Runs the examples of a manual page: every fenced block marked `velk-session`
is typed at velk in a fresh temporary folder, and what velk prints, its error
lines and its exit status must be what the block shows.

A session block holds, one per line:

  > LINE      a line typed at the prompt (one statement)
  < LINE      a line typed as data, read by `$input` (or the answer to the
              start-up question); it gets no prompt of its own
  ! LINE      a line velk must write on standard error (all of them, in order)
  [exit N]    the exit status (0 when the block has none)
  ...         any number of output lines
  $ velk ARGS as the first line: start velk with these arguments
  other       a line velk prints on standard output

Output is checked line by line under the typed line that prints it: the
prompts velk writes before reading each statement divide its output. Output
before the first typed line is what velk prints before its first prompt, after
the banner. Output that ends without a line end, so that the next prompt follows
on the same line, shows <NOEOL> at its end.

The opening fence names the block kind and its options:

  velk-session [with-lib] [no-lib] [banner] [terminal] [same-files] [trap]
      with-lib  the library files are in lib/ (otherwise lib/ is empty)
      no-lib    there is no lib folder at all
      same-files  the session gets the same velk-file files as the session before
      banner    the banner is checked too (it is not taken off)
      terminal  output is shown as a terminal shows it: a carriage return
                goes back to the start of the line, which the following text
                overwrites, and the bell is not shown; otherwise a carriage
                return shows as <CR>, the bell as <BEL>
      trap      the example shows one of the language's traps, which the
                checker must find (the checker's unit tests look)
  velk-file PATH
      a file that the next session block of the page finds in its folder

The temporary folder is shown as /home/me/work, its parent as /home/me.
"""

import argparse
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

LIBRARY_FILES = ["dict.VELK", "math.VELK", "reconstruction.VELK", "sizefile.VELK"]
BANNER = (b"-----VELK V3 made by Ferrowin-----\n"
          b"This is the built-in REPL.\n"
          b"initializing...OK\n")
SHOWN_HOME = "/home/me"
# Notes the address sanitizer writes when velk switches to its large stack or
# unwinds deep recursion; they are not velk's output.
SANITIZER_NOTE = re.compile(r"==\d+==WARNING: ASan is ignoring requested __asan_handle_no_return|"
                            r"False positive error reports may follow$|"
                            r"For details see https://github.com/google/sanitizers/issues/189$")
SESSION_OPTIONS = {"with-lib", "no-lib", "banner", "terminal", "same-files", "trap"}


class Block:
    def __init__(self, kind, options, line, body):
        self.kind = kind          # "velk-session" or "velk-file"
        self.options = options    # words after the kind
        self.line = line          # line number of the opening fence (1-based)
        self.body = body          # the lines between the fences
        self.files = []           # for sessions: (path, text) of the files before it


def read_blocks(path):
    """The session blocks of a page, each with the file blocks that precede it."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    blocks = []
    pending_files = []
    i = 0
    while i < len(lines):
        m = re.match(r"^(`{3,})\s*(\S*)(.*)$", lines[i])
        if not m:
            i += 1
            continue
        fence, kind, rest = m.group(1), m.group(2), m.group(3).split()
        start = i + 1
        j = start
        while j < len(lines) and not re.match("^" + fence + r"\s*$", lines[j]):
            j += 1
        if j == len(lines):
            raise SystemExit(f"{path}:{i + 1}: the block is never closed")
        body = lines[start:j]
        if kind == "velk-file":
            if len(rest) != 1:
                raise SystemExit(f"{path}:{i + 1}: velk-file needs one path")
            pending_files.append((rest[0], "\n".join(body) + "\n"))
        elif kind == "velk-session":
            unknown = [o for o in rest if o not in SESSION_OPTIONS]
            if unknown:
                raise SystemExit(f"{path}:{i + 1}: unknown option {unknown[0]!r}")
            block = Block(kind, set(rest), i + 1, body)
            if "same-files" in block.options:
                if pending_files or not blocks:
                    raise SystemExit(f"{path}:{i + 1}: same-files follows no session or has files of its own")
                pending_files = blocks[-1].files
            block.files = pending_files
            pending_files = []
            blocks.append(block)
        i = j + 1
    if pending_files:
        raise SystemExit(f"{path}: a velk-file block is not followed by a session")
    return blocks


class Expectation:
    """What a session block types and expects."""

    def __init__(self, block, where):
        self.args = []
        self.stdin = []
        self.segments = [[]]   # expected output lines before the first prompt, then per typed line
        self.typed = [None]    # the typed line each segment belongs to (None: before the first)
        self.stderr = []
        self.status = 0
        for n, line in enumerate(block.body):
            if n == 0 and line.startswith("$ velk"):
                self.args = shlex.split(line[len("$ velk"):])
            elif line == ">" or line.startswith("> "):
                self.stdin.append(line[2:])
                self.segments.append([])
                self.typed.append(line[2:])
            elif line == "<" or line.startswith("< "):
                self.stdin.append(line[2:])
            elif line.startswith("! "):
                self.stderr.append(line[2:])
            elif re.fullmatch(r"\[exit \d+\]", line):
                self.status = int(line[6:-1])
            else:
                self.segments[-1].append(line)


def render(data, terminal):
    """Output bytes as the lines a reader sees."""
    text = data.decode("utf-8", "backslashreplace")
    noeol = bool(text) and not text.endswith("\n")
    if noeol:
        text += "\n"
    lines = text.split("\n")[:-1]
    out = []
    for line in lines:
        if terminal:
            shown = []
            col = 0
            for ch in line.replace("\x07", ""):
                if ch == "\r":
                    col = 0
                    continue
                if col < len(shown):
                    shown[col] = ch
                else:
                    shown.append(ch)
                col += 1
            line = "".join(shown)
        else:
            line = line.replace("\r", "<CR>").replace("\x07", "<BEL>")
        out.append(re.sub(r"[\x00-\x08\x0b-\x1f\x7f]", lambda m: "<0x%02X>" % ord(m.group(0)), line))
    if noeol:
        out[-1] += "<NOEOL>"
    return out


def lines_match(expected, actual):
    """Line lists equal, where an expected "..." stands for any number of lines."""
    if not expected:
        return not actual
    if expected[0] == "...":
        return any(lines_match(expected[1:], actual[k:]) for k in range(len(actual) + 1))
    return bool(actual) and expected[0] == actual[0] and lines_match(expected[1:], actual[1:])


def run_block(block, opts, where):
    exp = Expectation(block, where)
    root = os.path.realpath(tempfile.mkdtemp(prefix="velk-docs-"))
    work = os.path.join(root, "work")
    os.mkdir(work)
    problems = []
    try:
        if "no-lib" not in block.options:
            os.mkdir(os.path.join(work, "lib"))
            if "with-lib" in block.options:
                for f in LIBRARY_FILES:
                    shutil.copy(os.path.join(opts.scripts, f), os.path.join(work, "lib", f))
        for path, text in block.files:
            target = os.path.join(work, path)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "w", encoding="utf-8") as f:
                f.write(text)
        stdin = "".join(line + "\n" for line in exp.stdin).encode("utf-8")
        try:
            run = subprocess.run([opts.velk] + exp.args, cwd=work, input=stdin, capture_output=True,
                                 timeout=opts.timeout)
        except subprocess.TimeoutExpired:
            return [f"velk did not end within {opts.timeout} seconds"]

        out = run.stdout
        prompt = re.compile(re.escape(root.encode()) + rb"(?:/[^\n]*?)? \$ ")
        parts = prompt.split(out)
        if "banner" not in block.options and parts[0].startswith(BANNER):
            parts[0] = parts[0][len(BANNER):]
        shown = [p.replace(root.encode(), SHOWN_HOME.encode()) for p in parts]
        terminal = "terminal" in block.options
        for i, want in enumerate(exp.segments):
            got = render(shown[i], terminal) if i < len(shown) else []
            if not lines_match(want, got):
                typed = exp.typed[i]
                head = f"output of the typed line {typed!r}" if typed is not None else \
                    "output before the first prompt"
                problems.append(f"{head} differs\n--- expected:\n" + "\n".join(want) +
                                "\n--- actual:\n" + "\n".join(got))
        for extra in shown[len(exp.segments):]:
            got = render(extra, terminal)
            if got:
                problems.append("output after the last typed line:\n" + "\n".join(got))

        err = run.stderr.replace(root.encode(), SHOWN_HOME.encode()).decode("utf-8", "backslashreplace")
        err_lines = err.split("\n")
        if err_lines and err_lines[-1] == "":
            err_lines.pop()
        err_lines = [l for l in err_lines if not SANITIZER_NOTE.match(l)]
        if err_lines != exp.stderr:
            problems.append("standard error differs\n--- expected:\n" + "\n".join(exp.stderr) +
                            "\n--- actual:\n" + "\n".join(err_lines))
        if run.returncode != exp.status:
            problems.append(f"exit status {run.returncode}, expected {exp.status}")
        if run.returncode < 0 or "Sanitizer" in err or "runtime error" in err:
            problems.append("velk crashed or a sanitizer reported")
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return problems


def main():
    ap = argparse.ArgumentParser(description="Run the velk-session examples of a manual page.")
    ap.add_argument("--velk")
    ap.add_argument("--scripts")
    ap.add_argument("--timeout", type=float, default=30)
    ap.add_argument("--list", action="store_true", help="print the line of each session block")
    ap.add_argument("--line", type=int, help="run only the block that opens on this line")
    ap.add_argument("page")
    opts = ap.parse_args()

    blocks = read_blocks(opts.page)
    if opts.list:
        for b in blocks:
            print(b.line)
        return 0
    if not opts.velk or not opts.scripts:
        ap.error("--velk and --scripts are needed to run examples")
    opts.velk = os.path.abspath(opts.velk)
    opts.scripts = os.path.abspath(opts.scripts)
    if opts.line is not None:
        blocks = [b for b in blocks if b.line == opts.line]
        if not blocks:
            print(f"{opts.page}:{opts.line}: no velk-session block opens on this line")
            return 1
    failed = 0
    for b in blocks:
        where = f"{opts.page}:{b.line}"
        problems = run_block(b, opts, where)
        if problems:
            failed += 1
            print(f"{where}: the example fails")
            for p in problems:
                print(p)
    if len(blocks) > 1:
        print(f"{len(blocks) - failed} of {len(blocks)} examples pass")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
