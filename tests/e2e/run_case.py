#!/usr/bin/env python3
"""Runs one end-to-end case: starts velk in a fresh temporary directory, types
the case's input at it, and compares what it prints, its exit status and the
files it leaves with what the case expects.

A case file is a few sections, each opened by a line "## NAME [ARGUMENT]":

  ## stdin            what is typed (one line per statement)
  ## stdout           everything velk must print, byte for byte
  ## output           what velk prints after the banner ("initializing...OK"),
                      with every prompt "<TMP> $ " taken out
  ## stderr           lines that must each occur in standard error
  ## status           the exit status (0 when the section is missing)
  ## given PATH       a file to create before the start, with this content
  ## given-dir PATH   a directory to create before the start
  ## no-lib           start without a lib folder (otherwise an empty one exists)
  ## with-lib         start with the library scripts from scripts/ in lib/
  ## file PATH        a file that must exist afterwards, with this content
  ## dir PATH         a directory that must exist afterwards
  ## absent PATH      a path that must not exist afterwards
  ## args A B ...     command-line arguments to start velk with, split as a
                      shell splits them ('-e' 'two words')
  ## link PATH        a symbolic link to create before the start; the section's
                      one line is its target, as written
  ## stdout-to WHERE  standard output goes to WHERE instead of being captured:
                      "full" (/dev/full), "closed" (no descriptor 1) or
                      "gone-reader" (a pipe whose reader has left, with SIGPIPE
                      ignored); the stdout and output sections are then unused
  ## stdin-from WHERE standard input comes from WHERE instead of the stdin
                      section: "closed" (no descriptor 0) or a path below the
                      temporary directory (a folder, say)
  ## ulimit KIND N    a resource limit for velk: "stack", "memory" (address
                      space) or "file" (largest file written, with SIGXFSZ
                      ignored so that a write beyond it fails with EFBIG), in
                      KiB as the shell's ulimit -s, -v and -f take it, or
                      "unlimited". A velk built with the address sanitizer
                      cannot run in a limited address space: a case with a
                      memory limit is then skipped (exit status 77)
  ## run ARGS        a row of a table: velk runs once per row, with the stdin,
                      stderr and status sections that follow it; each row's
                      standard error is compared whole
  ## cycles           the case builds values that hold themselves; such a
                      cycle is never reclaimed, so the sanitizer's leak check
                      is off for this case

Lines before the first section starting with "#" are comments. Trailing empty
lines of a section are ignored. In section texts these marks stand for bytes:
<CR> carriage return, <BEL> bell, <TAB> tab, <NL> line feed, <0xNN> any byte,
and <NOEOL> at the very end removes the final line feed. <TMP> stands for the
temporary directory velk was started in.
"""

import argparse
import os
import resource
import signal
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
MARKS = {"<CR>": b"\r", "<BEL>": b"\x07", "<TAB>": b"\t", "<NL>": b"\n"}


def decode_marks(text):
    """Section text to bytes, with the marks replaced."""
    out = bytearray()
    data = text
    noeol = False
    if data.endswith("<NOEOL>\n"):
        data = data[: -len("<NOEOL>\n")]
        noeol = True
    pos = 0
    for m in re.finditer(r"<CR>|<BEL>|<TAB>|<NL>|<0x([0-9A-Fa-f]{2})>", data):
        out += data[pos:m.start()].encode("utf-8")
        out += bytes([int(m.group(1), 16)]) if m.group(1) else MARKS[m.group(0)]
        pos = m.end()
    out += data[pos:].encode("utf-8")
    return bytes(out), noeol


def section_bytes(lines):
    while lines and lines[-1] == "":
        lines = lines[:-1]
    if not lines:
        return b""
    data, _ = decode_marks("\n".join(lines) + "\n")
    return data


def parse_case(path):
    sections = []
    current = None
    with open(path, encoding="utf-8") as f:
        raw = f.read().split("\n")
    if raw and raw[-1] == "":
        raw = raw[:-1]
    for line in raw:
        if line.startswith("## "):
            head = line[3:].strip().split(None, 1)
            current = [head[0], head[1] if len(head) > 1 else "", []]
            sections.append(current)
        elif current is None:
            if line.strip() and not line.startswith("#"):
                raise SystemExit(f"{path}: text before the first section: {line!r}")
        else:
            current[2].append(line)
    return sections


def visible(data):
    """Bytes shown with their marks, for a readable difference."""
    s = data.decode("utf-8", "backslashreplace")
    s = s.replace("\r", "<CR>").replace("\x07", "<BEL>").replace("\t", "<TAB>")
    return re.sub(r"[\x00-\x08\x0b-\x1f\x7f]", lambda m: "<0x%02X>" % ord(m.group(0)), s)


def show_difference(what, expected, actual):
    print(f"--- {what} differs")
    print("--- expected:")
    print(visible(expected))
    print("--- actual:")
    print(visible(actual))


LIMITS = {"stack": resource.RLIMIT_STACK, "memory": resource.RLIMIT_AS, "file": resource.RLIMIT_FSIZE}
SKIPPED = 77


def sanitized(velk):
    """Whether velk was built with the address sanitizer."""
    with open(velk, "rb") as f:
        return b"__asan_init" in f.read()


def start_velk(opts, sections, args, tmp, stdin):
    """Runs velk once, with the redirections and limits the case asks for."""
    stdout_to = stdin_from = None
    limits = []
    for name, arg, _ in sections:
        if name == "stdout-to":
            stdout_to = arg
        elif name == "stdin-from":
            stdin_from = arg
        elif name == "ulimit":
            kind, kib = arg.split()
            value = resource.RLIM_INFINITY if kib == "unlimited" else int(kib) * 1024
            limits.append((LIMITS[kind], value))

    def prepare():
        for which, value in limits:
            resource.setrlimit(which, (value, value))
            if which == resource.RLIMIT_FSIZE:
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        if stdout_to == "gone-reader":
            signal.signal(signal.SIGPIPE, signal.SIG_IGN)
        if stdout_to == "closed":
            os.close(1)
        if stdin_from == "closed":
            os.close(0)

    out_target = subprocess.PIPE
    reader = None
    if stdout_to == "full":
        out_target = open("/dev/full", "wb")
    elif stdout_to == "gone-reader":
        reader, out_target = os.pipe()
        os.close(reader)
    elif stdout_to not in (None, "closed"):
        raise SystemExit(f"unknown stdout-to {stdout_to!r}")
    in_source = subprocess.PIPE
    if stdin_from == "closed":
        in_source = subprocess.DEVNULL
    elif stdin_from is not None:
        # os.open, not open(): a folder opens too.
        in_source = os.open(os.path.join(tmp, stdin_from), os.O_RDONLY)
    env = None
    if any(name == "cycles" for name, _, _ in sections):
        env = dict(os.environ)
        env["ASAN_OPTIONS"] = (env.get("ASAN_OPTIONS", "") + ":detect_leaks=0").lstrip(":")
    proc = subprocess.Popen([opts.velk] + args, cwd=tmp, stdin=in_source, stdout=out_target,
                            stderr=subprocess.PIPE, preexec_fn=prepare, env=env)
    if in_source not in (subprocess.PIPE, subprocess.DEVNULL):
        os.close(in_source)
    if out_target is not subprocess.PIPE:
        if isinstance(out_target, int):
            os.close(out_target)
        else:
            out_target.close()
    try:
        out, err = proc.communicate(input=stdin if in_source is subprocess.PIPE else None,
                                    timeout=opts.timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.communicate()
        raise
    return subprocess.CompletedProcess(proc.args, proc.returncode, out or b"", err)


def run_rows(opts, sections, tmp):
    """The rows of a table, each run and its standard error compared whole;
    the number that failed."""
    rows, failures = [], 0
    for name, arg, lines in sections:
        if name == "run":
            rows.append({"args": shlex.split(arg), "stdin": b"", "stderr": b"", "status": "0"})
        elif rows and name in ("stdin", "stderr", "status"):
            rows[-1][name] = section_bytes(lines)
    for row in rows:
        run = start_velk(opts, sections, row["args"], tmp, row["stdin"])
        err = run.stderr.replace(tmp.encode(), b"<TMP>")
        if err != row["stderr"] or run.returncode != int(row["status"]):
            failures += 1
            print(f"--- velk {shlex.join(row['args'])}: status {run.returncode}, expected {int(row['status'])}")
            print(f"--- expected standard error:\n{visible(row['stderr'])}--- actual:\n{visible(err)}")
    return failures


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--velk", required=True)
    ap.add_argument("--scripts", required=True)
    ap.add_argument("--timeout", type=float, default=30)
    ap.add_argument("case")
    opts = ap.parse_args()

    opts.velk = os.path.abspath(opts.velk)
    opts.scripts = os.path.abspath(opts.scripts)
    sections = parse_case(opts.case)
    names = [s[0] for s in sections]
    known = {"stdin", "stdout", "output", "stderr", "status", "given", "given-dir", "no-lib",
             "with-lib", "file", "dir", "absent", "args", "link", "stdout-to", "stdin-from",
             "ulimit", "cycles", "run"}
    for n in names:
        if n not in known:
            raise SystemExit(f"{opts.case}: unknown section '## {n}'")
    if any(n == "ulimit" and a.split()[0] == "memory" for n, a, _ in sections) and sanitized(opts.velk):
        print("skipped: a sanitizer build cannot run in a limited address space")
        return SKIPPED

    tmp = tempfile.mkdtemp(prefix="velk-e2e-")
    tmp = os.path.realpath(tmp)
    failures = 0
    try:
        if "no-lib" not in names:
            os.mkdir(os.path.join(tmp, "lib"))
            if "with-lib" in names:
                for f in LIBRARY_FILES:
                    shutil.copy(os.path.join(opts.scripts, f), os.path.join(tmp, "lib", f))
        stdin = b""
        args = []
        for name, arg, lines in sections:
            target = os.path.join(tmp, arg) if arg else None
            if name == "given-dir":
                os.makedirs(target, exist_ok=True)
            elif name == "given":
                os.makedirs(os.path.dirname(target), exist_ok=True)
                with open(target, "wb") as f:
                    f.write(section_bytes(lines))
            elif name == "stdin":
                stdin = section_bytes(lines)
            elif name == "args":
                args = shlex.split(arg)
            elif name == "link":
                os.makedirs(os.path.dirname(target), exist_ok=True)
                os.symlink("\n".join(lines).strip(), target)

        if "run" in names:
            return 1 if run_rows(opts, sections, tmp) else 0
        try:
            run = start_velk(opts, sections, args, tmp, stdin)
        except subprocess.TimeoutExpired:
            print(f"velk did not end within {opts.timeout} seconds")
            return 1

        tmp_bytes = tmp.encode()
        out = run.stdout.replace(tmp_bytes, b"<TMP>")
        err = run.stderr.replace(tmp_bytes, b"<TMP>")
        expected_status = 0
        for name, arg, lines in sections:
            if name == "status":
                expected_status = int("\n".join(lines).strip())
            elif name == "stdout":
                want = section_bytes(lines)
                if out != want:
                    show_difference("standard output", want, out)
                    failures += 1
            elif name == "output":
                want = section_bytes(lines)
                body = out[len(BANNER):] if out.startswith(BANNER) else out
                body = body.replace(b"<TMP> $ ", b"")
                if body != want:
                    show_difference("output after the banner, prompts removed", want, body)
                    failures += 1
            elif name == "stderr":
                for line in lines:
                    if line and line.encode() not in err:
                        print(f"--- standard error lacks {line!r}; it is:")
                        print(visible(err))
                        failures += 1
            elif name == "file":
                path = os.path.join(tmp, arg)
                want = section_bytes(lines)
                if not os.path.isfile(path):
                    print(f"--- file {arg} is missing")
                    failures += 1
                else:
                    with open(path, "rb") as f:
                        got = f.read()
                    if got != want:
                        show_difference(f"file {arg}", want, got)
                        failures += 1
            elif name == "dir":
                if not os.path.isdir(os.path.join(tmp, arg)):
                    print(f"--- directory {arg} is missing")
                    failures += 1
            elif name == "absent":
                if os.path.lexists(os.path.join(tmp, arg)):
                    print(f"--- {arg} exists but must not")
                    failures += 1
        if run.returncode != expected_status:
            print(f"--- exit status {run.returncode}, expected {expected_status}")
            if "stderr" not in names and run.stderr:
                print("--- standard error:")
                print(visible(err))
            failures += 1
        if run.returncode < 0 or b"Sanitizer" in run.stderr or b"runtime error" in run.stderr:
            print("--- velk crashed or a sanitizer reported:")
            print(visible(err))
            failures += 1
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
