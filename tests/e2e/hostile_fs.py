#!/usr/bin/env python3
"""Files kept safe where a case file cannot set the scene: other users, bind
mounts, signals, descriptor limits and memory. One scenario per run:
hostile_fs.py --velk PATH NAME. Exits 0 when it passes, 1 when it fails, 77
(a skip) when it needs root or mounts and cannot have them."""

import argparse, glob, os, resource, signal, subprocess, sys, tempfile, time

SKIP = 77


class Skip(Exception):
    pass


def velk(tmp, script, user=None, **kw):
    pre = (["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if user else [])
    kw.setdefault("capture_output", True)
    return subprocess.run(pre + [VELK, "-e", script], cwd=tmp, **kw)


def check(cond, what):
    if not cond:
        raise AssertionError(what)


def need_root():
    if os.geteuid() != 0:
        raise Skip("needs root")


def bind(src, dst, cleanups):
    if subprocess.run(["mount", "--bind", src, dst], capture_output=True).returncode:
        raise Skip("cannot bind-mount here")
    cleanups.append(lambda: subprocess.run(["umount", dst]))


def deep_current_folder(tmp, cleanups):
    # rm of a folder above a current folder deeper than any path can name.
    r = velk(tmp, '$mkdir$("A")\n$cd$("A")\nd = ("a" * 200)\ni = 0\n'
                  'until (i < 22) {\n$mkdir$(d)\n$cd$(d)\ni += 1\n}\n$rm$((("../" * 23) + "A"))')
    check(r.returncode == 1 and b"refusing to remove" in r.stderr, r.stderr)
    check(os.path.isdir(os.path.join(tmp, "A", "a" * 200)), "A was removed")


def second_name(tmp, cleanups):
    need_root()
    os.makedirs(os.path.join(tmp, "real", "proj", "lib"))
    os.mkdir(os.path.join(tmp, "alias"))
    bind(os.path.join(tmp, "real"), os.path.join(tmp, "alias"), cleanups)
    r = velk(os.path.join(tmp, "real", "proj"), '$rm$("../../alias/proj")')
    check(r.returncode == 1 and b"holds the current folder" in r.stderr, r.stderr)
    check(os.path.isdir(os.path.join(tmp, "real", "proj")), "proj was removed")


def standard_output_file(tmp, cleanups):
    # Writing the file that is standard output goes through the stream.
    for name in ("/dev/stdout", "log.txt"):
        with open(os.path.join(tmp, "log.txt"), "w") as f:
            f.write("before\n")
        with open(os.path.join(tmp, "log.txt"), "a") as log:
            r = velk(tmp, f'$print$("one")\n$writefile$("{name}" "ok")\n$print$("two")', stdout=log,
                     capture_output=False, stderr=subprocess.PIPE)
        check(r.returncode == 0, r.stderr)
        with open(os.path.join(tmp, "log.txt")) as f:
            check(f.read() == "before\none\noktwo\n", f"{name}: log lost output")
    r = velk(tmp, '$writefile$("/dev/stdout" "piped")')
    check(r.returncode == 0 and r.stdout == b"piped", r.stderr)


def owner_and_links(tmp, cleanups):
    need_root()
    f, g = os.path.join(tmp, "f.txt"), os.path.join(tmp, "g.txt")
    for p in (f, g):
        with open(p, "w") as h:
            h.write("old")
    os.chown(f, 65534, 65534)
    os.chmod(f, 0o640)
    os.link(g, os.path.join(tmp, "second"))
    check(velk(tmp, '$writefile$("f.txt" "new")\n$writefile$("g.txt" "new")').returncode == 0, "write failed")
    st = os.stat(f)
    check((st.st_uid, st.st_gid, st.st_mode & 0o7777) == (65534, 65534, 0o640), f"owner or mode changed: {st}")
    with open(os.path.join(tmp, "second")) as h:
        check(h.read() == "new", "the hard link kept the old content")


def in_place_fallbacks(tmp, cleanups):
    # A file the writer may change in a folder it may not, and a file that is
    # a mount point of its own, are written in place.
    need_root()
    os.chmod(tmp, 0o755)
    for name in ("mine.txt", "mounted.txt", "other.txt"):
        with open(os.path.join(tmp, name), "w") as h:
            h.write("old")
    os.chown(os.path.join(tmp, "mine.txt"), 65534, 65534)
    r = velk(tmp, '$writefile$("mine.txt" "new")', user=True)
    check(r.returncode == 0, r.stderr)
    bind(os.path.join(tmp, "other.txt"), os.path.join(tmp, "mounted.txt"), cleanups)
    r = velk(tmp, '$writefile$("mounted.txt" "new")')
    check(r.returncode == 0, r.stderr)
    for name in ("mine.txt", "other.txt"):
        with open(os.path.join(tmp, name)) as h:
            check(h.read() == "new", f"{name} not written")


def signal_removes_temporary(tmp, cleanups):
    for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        with open(os.path.join(tmp, "f.txt"), "w") as h:
            h.write("old")
        p = subprocess.Popen([VELK, "-e", 's = ("x" * 300000000)\n$writefile$("f.txt" s)'], cwd=tmp,
                             stdin=subprocess.DEVNULL)
        deadline = time.time() + 60
        while not glob.glob(os.path.join(tmp, ".f.txt.velk-*")) and p.poll() is None and time.time() < deadline:
            time.sleep(0.001)
        p.send_signal(sig)
        check(p.wait() == -sig, f"status {p.returncode} after {sig}")
        check(not glob.glob(os.path.join(tmp, ".f.txt.velk-*")), f"temporary file left after {sig}")
        with open(os.path.join(tmp, "f.txt")) as h:
            check(h.read() == "old", "old content lost")


def open_failures(tmp, cleanups):
    # A file that is there but cannot be opened (no descriptors left) is an
    # error, never an empty text.
    for f in ("f.txt", "f.VELK"):
        with open(os.path.join(tmp, f), "w") as h:
            h.write('$print$("ran")\n')
    for line, shown in ((b'x = $readfile$("f.txt")\n', b"readfile of `f.txt`"),
                        (b'also ("f")\n', b"also of `f.VELK`")):
        p = subprocess.Popen([VELK], cwd=tmp, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)
        p.stdin.write(b'$print$("ready")\n')
        p.stdin.flush()
        p.stdout.readline(), p.stdout.readline()
        resource.prlimit(p.pid, resource.RLIMIT_NOFILE, (len(os.listdir(f"/proc/{p.pid}/fd")),) * 2)
        out, err = p.communicate(line)
        check(p.returncode == 1 and b"Too many open files: " + shown in err, err)
        check(b"ran" not in out, "the script ran")


def reads_keep_no_buffers(tmp, cleanups):
    with open(os.path.join(tmp, "f.txt"), "w") as h:
        h.write("ab")
    p = subprocess.Popen([VELK, "-e", 'list l\ni = 0\nuntil (i < 5000) {\nadd l $readfile$("f.txt")\ni += 1\n}'],
                         cwd=tmp)
    _, status, usage = os.wait4(p.pid, 0)
    check(status == 0 and usage.ru_maxrss < 100 * 1024, f"peak {usage.ru_maxrss} KiB")


SCENARIOS = {f.__name__: f for f in (deep_current_folder, second_name, standard_output_file, owner_and_links,
                                      in_place_fallbacks, signal_removes_temporary, open_failures,
                                      reads_keep_no_buffers)}


def main():
    global VELK
    ap = argparse.ArgumentParser()
    ap.add_argument("--velk", required=True)
    ap.add_argument("scenario", choices=sorted(SCENARIOS))
    a = ap.parse_args()
    VELK = os.path.abspath(a.velk)
    tmp = tempfile.mkdtemp(prefix="velk-hostile-")
    os.mkdir(os.path.join(tmp, "lib"))
    cleanups = []
    try:
        SCENARIOS[a.scenario](tmp, cleanups)
    except Skip as e:
        print(f"skipped: {e}")
        return SKIP
    except AssertionError as e:
        print(f"FAILED {a.scenario}: {e}")
        return 1
    finally:
        for c in reversed(cleanups):
            c()
        subprocess.run(["rm", "-rf", tmp])
    print(f"passed {a.scenario}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
