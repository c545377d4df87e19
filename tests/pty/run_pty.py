#!/usr/bin/env python3
"""Drives velk on a pseudo-terminal, as a user at a terminal would: keys go
to the terminal's input, and what velk writes comes back from its output.
Standard error goes to a pipe of its own, so that error lines can be checked
apart from the output (velk still runs at a terminal: its standard input and
output are the terminal).

Each scenario is one test:  run_pty.py --velk PATH [--editing ON|OFF] NAME
It exits 0 when the scenario passes, 1 when it fails and 77 (a skip) when it
needs line editing and velk was built without it, or no pseudo-terminal can
be had. Every wait has a time limit, so a velk that hangs fails the test.
"""

import argparse
import fcntl
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time

SKIP = 77
TIMEOUT = 15.0  # seconds for any one expected output; sanitizer builds are slow

UP, DOWN, LEFT, RIGHT = b"\x1b[A", b"\x1b[B", b"\x1b[D", b"\x1b[C"
HOME, END, DELETE = b"\x1b[H", b"\x1b[F", b"\x1b[3~"
CTRL = {c: bytes([ord(c) - ord("a") + 1]) for c in "abcdekuwz"}
CTRL_C = b"\x03"
TAB, F1, ESC_H = b"\t", b"\x1bOP", b"\x1bh"
PASTE_START, PASTE_END = b"\x1b[200~", b"\x1b[201~"
# Notes the address sanitizer writes when velk switches stacks; not velk's.
SANITIZER_NOTE = re.compile(rb"==\d+==WARNING: ASan is ignoring requested __asan_handle_no_return.*\n|"
                            rb".*False positive error reports may follow\n|"
                            rb".*For details see https://github.com/google/sanitizers/issues/189\n")


# velk asks the terminal to mark pastes while it reads a line, and stops when
# the line is read; the requests are taken out of the output (and counted).
PASTE_MODE = b"\x1b[?2004"


class Failure(Exception):
    pass


class Terminal:
    """velk (or a shell) on a new pseudo-terminal, as its controlling terminal."""

    def __init__(self, argv, cwd, home, stdin_pipe=False, stdout_pipe=False, stderr_to_terminal=False):
        self.master, slave = os.openpty()
        # Wide enough that no typed line wraps: the editor's redrawing then
        # stays on one line.
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 40, 250, 0, 0))
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home, "TERM": "xterm",
               "LC_ALL": "C.UTF-8"}
        for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS"):
            if name in os.environ:
                env[name] = os.environ[name]
        self.err_read, err_write = os.pipe()
        self.out_read = None

        def take_terminal():
            # A session of its own, with the pseudo-terminal as its controlling
            # terminal: Ctrl-C and Ctrl-Z then reach it as signals.
            fcntl.ioctl(slave, termios.TIOCSCTTY, 0)

        stdout = slave
        if stdout_pipe:
            self.out_read, stdout = os.pipe()
        self.proc = subprocess.Popen(
            argv, cwd=cwd, env=env,
            stdin=subprocess.PIPE if stdin_pipe else slave,
            stdout=stdout,
            stderr=slave if stderr_to_terminal else err_write,
            start_new_session=True, preexec_fn=take_terminal, close_fds=True)
        os.close(slave)
        os.close(err_write)
        if stdout_pipe:
            os.close(stdout)
        self.out = b""  # everything read from the terminal, but the paste-mode requests
        self.held = b""  # the start of a request, until the rest comes
        self.paste_modes = 0
        self.err = b""
        self.seen = 0  # how far expect() has matched in self.out
        self.err_seen = 0
        self.mark = 0  # where the output after the last prompt starts
        self.err_mark = 0

    def _pump(self, timeout):
        fds = [fd for fd in (self.master, self.err_read, self.out_read) if fd is not None]
        ready, _, _ = select.select(fds, [], [], timeout)
        for fd in ready:
            try:
                data = os.read(fd, 65536)
            except OSError:  # the terminal's other end closed
                data = b""
            if not data:
                if fd == self.master:
                    self.master_closed = True
                if fd == self.err_read:
                    self.err_read = None
                if fd == self.out_read:
                    self.out_read = None
                continue
            if fd == self.err_read:
                self.err += data
                continue
            data, self.held = self.held + data, b""
            for k in range(1, len(PASTE_MODE) + 1):
                if data.endswith(PASTE_MODE[:k]) and fd == self.master:
                    data, self.held = data[:-k], data[-k:]
                    break
            self.paste_modes += len(re.findall(re.escape(PASTE_MODE) + b"[hl]", data))
            self.out += re.sub(re.escape(PASTE_MODE) + b"[hl]", b"", data)
        return bool(ready)

    def send(self, keys):
        os.write(self.master, keys)

    def expect(self, pattern, what=None, stream="out"):
        """Waits until `pattern` (bytes, a regular expression) shows in the output
        after what was matched before; returns the match."""
        deadline = time.monotonic() + TIMEOUT
        regex = re.compile(pattern)
        while True:
            text = self.out if stream == "out" else self.err
            start = self.seen if stream == "out" else self.err_seen
            m = regex.search(text, start)
            if m:
                if stream == "out":
                    self.seen = m.end()
                else:
                    self.err_seen = m.end()
                return m
            left = deadline - time.monotonic()
            if left <= 0 or (self.proc.poll() is not None and not self._pump(0.2)):
                raise Failure(f"expected {what or pattern!r} on standard {'output' if stream == 'out' else 'error'};"
                              f" velk wrote {self.out[start:]!r}\nand on standard error {self.err!r}")
            self._pump(min(left, 0.1))

    def expect_err(self, pattern, what=None):
        return self.expect(pattern, what, stream="err")

    def settle(self, seconds):
        end = time.monotonic() + seconds
        while (left := end - time.monotonic()) > 0:
            self._pump(left)

    def wait_exit(self):
        deadline = time.monotonic() + TIMEOUT
        while self.proc.poll() is None:
            if time.monotonic() > deadline:
                self.proc.kill()
                raise Failure(f"velk did not end; it wrote {self.out[self.seen:]!r}")
            self._pump(0.1)
        self.settle(0.1)
        return self.proc.returncode

    def errors(self):
        return SANITIZER_NOTE.sub(b"", self.err)

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        for fd in (self.master, self.err_read, self.out_read):
            if fd is not None:
                try:
                    os.close(fd)
                except OSError:
                    pass


class Scenario:
    def __init__(self, velk):
        self.velk = velk
        self.tmp = tempfile.mkdtemp(prefix="velk-pty-")
        self.work = os.path.join(self.tmp, "work")
        self.home = os.path.join(self.tmp, "home")
        os.makedirs(os.path.join(self.work, "lib"))  # no start-up question
        os.makedirs(self.home)
        self.prompt = re.escape(os.path.realpath(self.work).encode() + b" $ ")
        self.terminals = []

    def start(self, args=(), **kw):
        t = Terminal([self.velk, *args], self.work, kw.pop("home", self.home), **kw)
        self.terminals.append(t)
        return t

    def at_prompt(self, t, quiet=0.15):
        """Waits for the prompt and for the terminal to fall quiet (the editor
        draws the prompt again); returns what came on standard output and on
        standard error since the last prompt."""
        out_from, err_from = t.mark, t.err_mark
        t.expect(self.prompt, "the prompt")
        while t._pump(quiet):
            pass
        t.seen = t.mark = len(t.out)
        t.err_seen = t.err_mark = len(t.err)
        return t.out[out_from:], t.err[err_from:]

    def typed(self, t, keys):
        """Types keys and Enter; returns what velk wrote on standard output
        and on standard error until the next prompt."""
        t.send(keys + b"\r")
        return self.at_prompt(t)

    def finish(self, t, status=0):
        got = t.wait_exit()
        if got != status:
            raise Failure(f"exit status {got}, expected {status}; standard error: {t.err!r}")

    def no_errors(self, t):
        if t.errors():
            raise Failure(f"unexpected standard error: {t.errors()!r}")

    def cleanup(self):
        for t in self.terminals:
            t.close()
        shutil.rmtree(self.tmp, ignore_errors=True)


def check(cond, message):
    if not cond:
        raise Failure(message)


def shows(reply, pattern, what=None):
    """The reply to a typed line (its standard output or error) matches."""
    if not re.search(pattern, reply):
        raise Failure(f"expected {what or pattern!r}; got {reply!r}")


# ---- the scenarios -------------------------------------------------------

def editing(s):
    """Cursor keys, Home/End and the Emacs control keys edit the line before
    it runs."""
    t = s.start()
    s.at_prompt(t)
    out, _ = s.typed(t, b'$print$("bd")' + LEFT * 3 + b"c")  # insert before the cursor
    shows(out, rb"\r\nbcd\r\n")
    out, _ = s.typed(t, b'print$("home")' + HOME + b"$" + END)
    shows(out, rb"\r\nhome\r\n")
    out, _ = s.typed(t, b'rint$("ctrl-a")' + CTRL["a"] + b"$p" + CTRL["e"])
    shows(out, rb"\r\nctrl-a\r\n")
    out, _ = s.typed(t, b"garbage" + CTRL["u"] + b'$print$("ctrl-u")')
    shows(out, rb"\r\nctrl-u\r\n")
    out, _ = s.typed(t, b'$print$("ctrl-w") junk' + CTRL["w"])
    shows(out, rb"\r\nctrl-w\r\n")
    out, _ = s.typed(t, b'$print$("ctrl-k")xyz' + LEFT * 3 + CTRL["k"])
    shows(out, rb"\r\nctrl-k\r\n")
    out, _ = s.typed(t, b'$print$("dex")' + LEFT * 3 + DELETE + LEFT + RIGHT)
    shows(out, rb"\r\nde\r\n", "de (the x deleted)")
    out, _ = s.typed(t, b'$print$("dx")' + LEFT * 3 + CTRL["d"])  # Ctrl-D inside a line deletes
    shows(out, rb"\r\nd\r\n", "d (the x deleted)")
    s.no_errors(t)
    t.send(CTRL["d"])
    s.finish(t)


def history(s):
    """Lines typed in one session come back with the up arrow in the next one,
    from a file in the home folder; without a usable home folder nothing is
    kept and nothing complains."""
    t = s.start()
    s.at_prompt(t)
    s.typed(t, b"hist = 41")
    out, _ = s.typed(t, b"$print$((hist + 1))")
    shows(out, rb"\r\n42\r\n")
    s.typed(t, UP + UP + b"0")  # hist = 410, recalled and changed
    out, _ = s.typed(t, UP + UP + UP + DOWN)  # up past the print, and back down to it
    shows(out, rb"\r\n411\r\n", "411 from the recalled print")
    t.send(CTRL["d"])
    s.finish(t)
    check(os.path.isfile(os.path.join(s.home, ".velk_history")), "no history file in the home folder")

    t = s.start()
    s.at_prompt(t)
    s.typed(t, b"hist = 1")
    out, _ = s.typed(t, UP + UP)  # the last line of the session before
    shows(out, rb"\r\n2\r\n", "2 from the print recalled from the session before")
    # A second session at the same time: both keep their lines in the file.
    u = s.start()
    s.at_prompt(u)
    s.typed(u, b"from_second = 1")
    # A block typed over several lines is one entry; typed text before the
    # up arrow picks the entries that start with it.
    s.typed(t, b'compare (1) {\r$print$("block")\r}')
    s.typed(t, b"z = 1")
    out, _ = s.typed(t, UP + UP)
    shows(out, rb"\r\nblock\r\n", "the block recalled whole")
    out, _ = s.typed(t, b"$pr" + UP)
    shows(out, rb"\r\n2\r\n", "2 from the newest entry that starts with $pr")
    s.no_errors(t)
    for session in (u, t):
        session.send(CTRL["d"])
        s.finish(session)
    with open(os.path.join(s.home, ".velk_history"), "rb") as f:
        kept = f.read()
    for entry in (rb"hist\\040=\\04041", rb"from_second\\040=\\0401",
                  rb"compare\\040\(1\)\\040\{\\012\$print.*\\012\}"):
        check(re.search(rb"^" + entry + rb"$", kept, re.M), f"{entry!r} not kept: {kept!r}")

    # A home folder that is a file: the history can be neither read nor
    # written, and velk works on, silently.
    blocked = os.path.join(s.tmp, "not-a-folder")
    with open(blocked, "w") as f:
        f.write("x")
    t = s.start(home=blocked)
    s.at_prompt(t)
    out, _ = s.typed(t, b'$print$("works")')
    shows(out, rb"\r\nworks\r\n")
    out, _ = s.typed(t, UP)
    shows(out, rb"\r\nworks\r\n", "works again, from this session's history")
    t.send(CTRL["d"])
    s.finish(t)
    s.no_errors(t)


def continuation(s):
    """A pasted block waits on "... " lines for its groups to close, then runs
    as one text; Ctrl-C or Ctrl-D drops an unfinished block."""
    t = s.start()
    s.at_prompt(t)
    # Pasted at once: the block and a line that calls it.
    out, _ = s.typed(t, b"sq = {\n  r = (arg0 * arg0)\n  end r\n}\n$print$($sq$(7))")
    shows(out, rb"\.\.\. ", "a continuation prompt")
    # (Without the editor the terminal echoes the pasted lines at once, and
    # the prompts come after them: the output then follows a prompt.)
    if not re.search(rb"(?:\r\n| )49\r\n", out):
        out, _ = s.at_prompt(t)  # the print's prompt came after a pause
    shows(out, rb"(?:\r\n| )49\r\n", "49 from the pasted function")
    # A quote left open inside parentheses waits too; closed on the next
    # line, the text is one call.
    t.send(b'$print$("two\r')
    t.expect(rb"\.\.\. ", "a continuation prompt in an open string")
    out, _ = s.typed(t, b'lines")')
    shows(out, rb"\r\ntwo\r\nlines\r\n", "the string with its line break")
    # Closed at every level but still open to the splitter (the first `)`
    # closed the call): reported, not run.
    t.send(b'$print$("a)\r')
    t.expect(rb"\.\.\. ")
    _, err = s.typed(t, b'")')
    check(err == b"velk: text ends inside an open double-quoted string\n", f"error line {err!r}")
    # Ctrl-C and Ctrl-D on a "... " line drop the unfinished block.
    for key in (CTRL_C, CTRL["d"]):
        t.send(b"t = {\r")
        t.expect(rb"\.\.\. ")
        t.settle(0.2)
        t.send(key)
        s.at_prompt(t)
    # A line that a running line reads is data, taken as it is.
    out, _ = s.typed(t, b"v = $input\rit's\r$print$(v)")
    shows(out, rb"\r\nit's\r\n")
    _, err = s.typed(t, b"$print$(t)")  # the dropped blocks defined nothing
    shows(err, rb"`t` is not a variable or a number")
    t.send(CTRL["d"])
    s.finish(t)


def words(s):
    """Tab completes builtins after $, keywords where a statement starts,
    variables in scope and file names inside quotes, and lists the choices on
    a second Tab; F1 or Esc h explains the word under the cursor."""
    with open(os.path.join(s.work, "datafile.txt"), "w") as f:
        f.write("abc")
    t = s.start()
    s.at_prompt(t)
    s.typed(t, b"longname = 5\ralpha1 = 1\ralpha2 = 2")
    # Each row: what is typed before each Tab, what after the last, and what
    # the line then prints (a list of two before it, for two Tabs in a row).
    for before_tabs, after, shown in [
            ((b"$pri",), b"7)", rb"\r\n7\r\n"),
            ((b"comp",), b'(1) { $print$("kw") }', rb"\r\nkw\r\n"),
            ((b"$print$(longn",), b")", rb"\r\n5\r\n"),
            ((b'$print$($readfile$("dataf',), b'"))', rb"\r\nabc\r\n"),
            ((b"$print$(alp", b""), b"1)", rb"(?s)\nalpha1  alpha2\r.*\r\n1\r\n")]:
        for keys in before_tabs:
            # Each answered before the next key: a Tab with more input right
            # behind it is a pasted one.
            for key in (keys, TAB) if keys else (TAB,):
                t.seen = len(t.out)
                t.send(key)
                t.expect(rb"(?s).", "an answer to the key")
                while t._pump(0.2):
                    pass
        out, _ = s.typed(t, after)
        shows(out, shown, f"{shown!r} after {before_tabs!r}")
    for keys, said in [(b"$print" + F1, rb"\$print\$\(value \[mode\]\): writes value"),
                       (b"comp" + LEFT + ESC_H, rb"comp: no builtin, keyword or variable"),
                       (b"list" + F1, rb"list NAME: binds NAME"), (b"$list" + ESC_H, rb"\$list\$\(value\): value")]:
        t.send(keys)
        t.expect(rb"\r\n" + said, said)
        t.settle(0.2)
        t.send(CTRL["e"] + CTRL["u"])
    s.no_errors(t)
    t.send(CTRL["d"])
    s.finish(t)


def paste_and_resize(s):
    """Pasted text keeps its Tabs, and a pasted block runs whole; a change of
    the window's size draws the prompt and the line again."""
    t = s.start()
    s.at_prompt(t)
    check(t.paste_modes > 0, "velk never asked the terminal to mark pastes")
    s.typed(t, PASTE_START + b's = "a\tb"' + PASTE_END)
    # Unmarked, the Tab comes with the rest of the paste right behind it.
    out, _ = s.typed(t, b't = "c\td"\r$print$(($size$(s) + $size$(t)))')
    shows(out, rb"\r\n6\r\n", "6: both Tabs kept")
    t.send(PASTE_START + b'compare (1) {\r$print$("whole")\r}\r' + PASTE_END)
    out, _ = s.at_prompt(t)
    check(b"whole\r\n" in out and b"... " not in out, f"the pasted block ran as one: {out!r}")
    t.send(b'$print$("' + b"x" * 100)
    t.settle(0.3)
    fcntl.ioctl(t.master, termios.TIOCSWINSZ, struct.pack("HHHH", 40, 60, 0, 0))
    t.expect(s.prompt + rb'\$print\$\("x', "the prompt and the line drawn again")
    out, _ = s.typed(t, b'")')
    shows(out, rb"\r\nx{100}\r\n")
    t.send(CTRL["d"])
    s.finish(t)


def newcomer(s):
    """A lone help, exit or quit gets a hint instead of an error, and the
    start-up question says what it takes."""
    shutil.rmtree(os.path.join(s.work, "lib"))
    t = s.start()
    t.expect(rb"y/n ", "the start-up question")
    t.settle(0.3)
    t.send(b"maybe\r")
    t.expect(rb"\r\nanswer y or n\r\n.*y/n ", "the answer it takes, and the question again")
    t.settle(0.3)
    t.send(b"n\r")
    s.at_prompt(t)
    for word in (b"help", b"exit", b"  quit "):
        out, err = s.typed(t, word)
        shows(out, rb"\r\nCtrl-D leaves velk; .*the manual is `man velk`\.\r\n", word.decode())
        check(err == b"", f"{word!r} printed {err!r}")
    t.send(CTRL["d"])
    s.finish(t)
    check(not os.path.exists(os.path.join(s.work, "lib")), "lib made after the answer n")


def error_keeps_session(s):
    """An error in a typed line prints its one line on standard error and the
    prompt comes back, with every variable as it was."""
    t = s.start()
    s.at_prompt(t)
    s.typed(t, b"x = 5")
    s.typed(t, b"list l")
    s.typed(t, b"add l 1")
    _, err = s.typed(t, b"x = (x + nope)")
    # Under the one line, the statement with a caret under the term that failed.
    check(err == b"velk: error: `nope` is not a variable or a number (stoi: invalid argument); "
                 b"in statement `x = (x + nope)`\n    x = (x + nope)\n             ^^^^\n", f"error lines {err!r}")
    _, err = s.typed(t, b'$prnt$("hi")')
    shows(err, rb"`prnt` is not a variable, a function or a number; did you mean `print`\?")
    s.typed(t, b"add l 2")
    out, _ = s.typed(t, b"$print$((x + 1))")
    shows(out, rb"\r\n6\r\n", "x kept its value")
    out, _ = s.typed(t, b"$print$(l)")
    shows(out, rb"\r\n\[1, 2\]\r\n", "the list kept its item")
    # Output left without a line end is ended before the error line, so the
    # next prompt starts a line of its own.
    out, err = s.typed(t, b'compare (1) {\r$print$("half" "nah")\rz = nope\r}')
    shows(out, rb"half\r\n" + s.prompt, "the unfinished output line ended")
    shows(err, rb"`nope` is not a variable or a number \(stoi: invalid argument\); in the typed statement `compare.*; inside it, in statement `z = nope`")
    # Text run by exec that ends inside an open group ends the line only.
    _, err = s.typed(t, b"exec ('q = \"open')")
    shows(err, rb"\nvelk: text ends inside an open double-quoted string\n$")  # after the checker's warning
    out, _ = s.typed(t, b'$print$("still here")')
    shows(out, rb"\r\nstill here\r\n")
    # `also` of a script that is not there is no error, but at a terminal it
    # says so instead of "OK.", and so for a folder.
    os.mkdir(os.path.join(s.work, "lib", "dir.VELK"))
    for name, said in ((b"missing", rb"file not found \(looked for `lib/missing\.VELK` and `missing\.VELK`\)"),
                       (b"dir", rb"`lib/dir\.VELK` is a folder, not a script file")):
        out, _ = s.typed(t, b'also ("' + name + b'")')
        shows(out, rb"\r\nreading file\.\.\.\r\n" + said + rb"; nothing was loaded\.\r\n" + s.prompt)
    t.send(CTRL["d"])
    s.finish(t)
    reports = [l for l in t.errors().split(b"\n") if l.startswith(b"velk: ") and b"warning:" not in l]
    check(len(reports) == 4, f"four error reports expected: {t.errors()!r}")


def prompt_notes(s):
    """Warnings first, then the line runs as written; a lone value is shown."""
    t = s.start()
    s.at_prompt(t)
    for line, out_after, err in (  # typed line, output after its echo, standard error
            (b"x = 1 + 2", b"", rb"^velk: warning: `\+` and what follows are ignored.*`x = \(1 \+ 2\)`\n$"),
            (b"x", b"1\r\n", b""),
            (b"(1+2)", b"1\r\n", rb"^velk: warning: `1\+2` reads as the number 1.*\n$"),
            (b"f = {\r$print$(\"ran\")\rend arg0\r}", b"", b""),
            (b"$f$(7)", b"ran\r\n7\r\n", b""),  # run once; f is known, so no warning
            (b"$prnt$(x)", b"", rb"^velk: warning: .*did you mean `print`\?\nvelk: error: .*`prnt`"),
            (b"nobody", b"", rb"^velk: error: incomplete assignment"),
            (b"compare (1) {\rq = 1 + 2\r}", b"", rb"^velk: warning: line 2: `\+` and what follows")):
        out, got = s.typed(t, line)
        shows(out, re.escape(line.split(b"\r")[-1]) + rb"\r\n" + out_after + s.prompt, f"output of {line!r}")
        shows(got, err or rb"^$", f"standard error of {line!r}")


def limits_keep_session(s):
    """A limit of the command line reached in a typed line ends that line with
    the limit's line; the session goes on with its variables, and the next
    line has the steps and time afresh."""
    for args, line, said in [
            (["--max-steps", "20000"], b"until (1) { x += 1 }", rb"^velk: step limit of 20000 reached"),
            (["--max-time", "0.3"], b"until (1) { x += 1 }", rb"^velk: time limit of 0.3 seconds reached"),
            (["--max-memory", "64M"], b'until (1) { x += 1\rs = (s + s) }', rb"^velk: memory limit of 64M reached"),
            (["--max-value", "1M"], b'until (1) { x += 1\rs = (s + s) }', rb"^velk: value size limit of 1M reached")]:
        t = s.start(args)
        s.at_prompt(t)
        s.typed(t, b'x = 0\rs = "ab"')
        _, err = s.typed(t, line)
        shows(err, said)
        out, _ = s.typed(t, b"n = 0\runtil (n < 1000) { n += 1 }\r$print$(((x > 5) + n))")
        shows(out, rb"(?<![0-9])1001\r\n", "x kept its value, and the next line ran in full")
        t.send(CTRL["d"])
        s.finish(t)


def interrupt(s):
    """Ctrl-C stops a running statement and the prompt comes back with the
    variables as they are; at the prompt it clears the line."""
    t = s.start()
    s.at_prompt(t)
    s.typed(t, b"n = 0")
    t.send(b"until (1) { n += 1 }\r")
    t.settle(0.5)
    check(t.proc.poll() is None, "velk ended during the loop")
    t.send(CTRL_C)
    _, err = s.at_prompt(t)
    check(err == b"velk: interrupted\n", f"interrupt line {err!r}")
    out, _ = s.typed(t, b"$print$((n > 100))")
    shows(out, rb"\r\n1\r\n", "n counted on until the interrupt")
    t.send(b"until (1) { }\r")  # a body of nothing but empty statements
    t.settle(0.3)
    t.send(CTRL_C)
    shows(s.at_prompt(t)[1], rb"^velk: interrupted\n$")
    # A function running a loop, stopped inside.
    s.typed(t, b"f = { until (1) { n += 1 } }")
    t.send(b"$f\r")
    t.settle(0.3)
    t.send(CTRL_C)
    _, err = s.at_prompt(t)
    shows(err, rb"^velk: interrupted\n$")
    # A typed line waiting for input stops too.
    t.send(b"v = $input\r")
    t.settle(0.3)
    t.send(CTRL_C)
    _, err = s.at_prompt(t)
    shows(err, rb"^velk: interrupted\n$")
    # So does one blocked on a FIFO that no one opens at the other end.
    os.mkfifo(os.path.join(s.work, "fifo.VELK"))
    for line in (b'v = $readfile$("fifo.VELK")', b'$writefile$("fifo.VELK" "x")', b'also ("fifo")'):
        t.send(line + b"\r")
        t.settle(0.3)
        t.send(CTRL_C)
        _, err = s.at_prompt(t)
        shows(err, rb"^velk: interrupted\n$", line.decode())
    # At the prompt, Ctrl-C drops what was typed.
    t.send(b'$print$("dropped")')
    t.settle(0.2)
    t.send(CTRL_C)
    _, err = s.at_prompt(t)
    check(err == b"", f"Ctrl-C at the prompt printed {err!r}")
    out, _ = s.typed(t, b'$print$("clean")')
    shows(out, rb"\r\nclean\r\n")
    check(b"dropped\r\n" not in t.out, "the dropped line ran")
    t.send(CTRL["d"])
    s.finish(t)
    check(t.errors().count(b"\n") == 7, f"seven interrupt lines expected: {t.errors()!r}")


def end_of_input(s):
    """Ctrl-D at an empty prompt ends the line and velk, with status 0."""
    t = s.start()
    s.at_prompt(t)
    t.send(CTRL["d"])
    s.finish(t)
    tail = t.out[t.mark:]
    check(tail == b"\r\n", f"Ctrl-D should leave only a line break: {tail!r}")
    s.no_errors(t)


def not_a_terminal(s):
    """With standard input or output not a terminal, nothing of the terminal
    applies: an error ends the run with status 1, an open group with 51."""
    t = s.start(stdin_pipe=True)
    t.proc.stdin.write(b'$print$("piped")\nx = (1 + nope)\n$print$("never")\n')
    t.proc.stdin.close()
    s.finish(t, 1)
    check(b"piped" in t.out and b"never" not in t.out, f"output {t.out!r}")
    check(b"`nope` is not a variable or a number" in t.err, f"standard error {t.err!r}")

    t = s.start(stdin_pipe=True)
    t.proc.stdin.write(b"f = {\n")
    t.proc.stdin.close()
    s.finish(t, 51)
    check(b"... " not in t.out, "a continuation prompt without a terminal")

    # Typed at the terminal, but the output goes to a pipe: no session kept.
    t = s.start(stdout_pipe=True)
    t.send(b"x = (1 + nope)\r")
    s.finish(t, 1)


def suspend(s):
    """Ctrl-Z stops velk, in a loop and at the prompt, and `fg` in the shell
    goes on where it stopped."""
    if not shutil.which("bash"):
        raise Skip("no bash for job control")
    t = Terminal(["bash", "--norc", "--noprofile", "-i"], s.work, s.home, stderr_to_terminal=True)
    s.terminals.append(t)
    t.send(b"PS1='SH> '\r")
    t.expect(rb"SH> ")
    t.send(f"{s.velk} 2>&1\r".encode())
    s.at_prompt(t)
    s.typed(t, b"n = 0")
    t.send(b"until (1) { n += 1 }\r")
    t.settle(0.3)
    t.send(CTRL["z"])
    t.expect(rb"Stopped", "the shell reporting velk stopped")
    t.expect(rb"SH> ")
    t.send(b"fg\r")
    t.settle(0.3)
    t.send(CTRL_C)
    out, _ = s.at_prompt(t)
    shows(out, rb"velk: interrupted")
    t.send(CTRL["z"])
    t.expect(rb"Stopped", "velk stopped at its prompt")
    t.expect(rb"SH> ")
    t.send(b"fg\r")
    t.settle(0.3)
    out, _ = s.typed(t, b'$print$((n > 0))')
    shows(out, rb"\r\n1\r\n")
    t.send(CTRL["d"])
    t.expect(rb"SH> ")
    t.send(b"exit\r")
    t.wait_exit()


def failed_line_keeps_folder(s):
    """A line that fails or is stopped goes back to the folder it began in."""
    os.mkdir(os.path.join(s.work, "sub"))
    t = s.start()
    s.at_prompt(t)
    for body, stop in ((b'$cd$("sub")\rz = nope', None), (b'$cd$("sub")\runtil (1) { n = 1 }', CTRL_C),
                       (b'$mkdir$(($base64decode$("AA==") + "new"))\r$writefile$("f" "x")\rz = nope', None)):
        t.send(b"compare (1) {\r" + body + b"\r}\r")
        if stop:
            t.settle(0.3)
            t.send(stop)
        _, err = s.at_prompt(t)  # the prompt names the folder the line began in
        shows(err, rb"^velk: ")
    check(sorted(os.listdir(s.work)) == ["lib", "sub"], f"left behind: {os.listdir(s.work)}")
    t.send(b'$cd$("sub")\r')
    t.expect(re.escape(os.path.realpath(os.path.join(s.work, "sub")).encode() + b" $ "), "the prompt in sub")
    t.settle(0.5)  # the prompt drawn whole and the read begun, as at_prompt waits
    t.send(CTRL["d"])
    s.finish(t)


class Skip(Exception):
    pass


SCENARIOS = {
    "editing": (editing, True),
    "history": (history, True),
    "continuation": (continuation, False),
    "words": (words, True),
    "paste_and_resize": (paste_and_resize, True),
    "newcomer": (newcomer, False),
    "error_keeps_session": (error_keeps_session, False),
    "prompt_notes": (prompt_notes, False),
    "interrupt": (interrupt, False),
    "limits_keep_session": (limits_keep_session, False),
    "end_of_input": (end_of_input, False),
    "not_a_terminal": (not_a_terminal, False),
    "suspend": (suspend, False),
    "failed_line_keeps_folder": (failed_line_keeps_folder, False),
}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--velk", required=True)
    ap.add_argument("--editing", default="ON")
    ap.add_argument("scenario", choices=sorted(SCENARIOS))
    a = ap.parse_args()
    fn, needs_editing = SCENARIOS[a.scenario]
    if needs_editing and a.editing.upper() in ("OFF", "0", "FALSE", "NO"):
        print("skipped: velk was built without libedit")
        return SKIP
    try:
        os.close(os.openpty()[0])
    except OSError:
        print("skipped: no pseudo-terminal")
        return SKIP
    s = Scenario(os.path.abspath(a.velk))
    try:
        fn(s)
    except Skip as e:
        print(f"skipped: {e}")
        return SKIP
    except Failure as e:
        print(f"FAILED {a.scenario}: {e}")
        return 1
    finally:
        s.cleanup()
    print(f"passed {a.scenario}")
    return 0


if __name__ == "__main__":
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    sys.exit(main())
