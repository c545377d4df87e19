#!/usr/bin/env python3
"""Files kept safe where a case file cannot set the scene: other users, bind
mounts, signals, descriptor limits, memory. hostile_fs.py --velk PATH NAME
exits 0 (passed), 1 (failed) or 77 (skipped: needs root or mounts)."""
import glob, os, resource, signal, subprocess, sys, tempfile, time


class Skip(Exception):
    pass


def velk(tmp, script, user=False, **kw):
    pre = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if user else []
    kw.setdefault("capture_output", True)
    return subprocess.run(pre + [VELK, "-e", script], cwd=tmp, **kw)


def ok(r):
    assert r.returncode == 0, r.stderr


def text(tmp, name, content=None):
    with open(os.path.join(tmp, name), "r" if content is None else "w") as f:
        return f.read() if content is None else f.write(content)


def bind(tmp, src, dst, cleanups):
    if os.geteuid() or subprocess.run(["mount", "--bind", src, dst], cwd=tmp, capture_output=True).returncode:
        raise Skip("needs root and bind mounts")
    cleanups.append(lambda: subprocess.run(["umount", os.path.join(tmp, dst)]))


def deep_current_folder(tmp, cleanups):  # deeper than any path can name
    r = velk(tmp, '$mkdir$("A")\n$cd$("A")\nd = ("a" * 200)\ni = 0\n'
                  'until (i < 22) {\n$mkdir$(d)\n$cd$(d)\ni += 1\n}\n$rm$((("../" * 23) + "A"))')
    assert r.returncode == 1 and b"refusing to remove" in r.stderr and os.path.isdir(tmp + "/A/" + "a" * 200)


def second_name(tmp, cleanups):
    os.makedirs(tmp + "/real/proj/lib"), os.mkdir(tmp + "/alias")
    bind(tmp, "real", "alias", cleanups)
    r = velk(tmp + "/real/proj", '$rm$("../../alias/proj")')
    assert r.returncode == 1 and b"holds the current folder" in r.stderr and os.path.isdir(tmp + "/real/proj")


def standard_output_file(tmp, cleanups):
    for name in ("/dev/stdout", "log.txt"):
        text(tmp, "log.txt", "before\n")
        with open(os.path.join(tmp, "log.txt"), "a") as log:
            ok(velk(tmp, f'$print$("one")\n$writefile$("{name}" "ok")\n$print$("two")', stdout=log,
                    stderr=subprocess.PIPE, capture_output=False))
        assert text(tmp, "log.txt") == "before\none\noktwo\n", name
    r = velk(tmp, '$writefile$("/dev/stdout" "piped")')
    assert r.returncode == 0 and r.stdout == b"piped", r.stderr


def owner_and_links(tmp, cleanups):
    for name in ("f.txt", "g.txt"):
        text(tmp, name, "old")
    os.link(tmp + "/g.txt", tmp + "/second")
    if os.geteuid() == 0:
        os.chown(tmp + "/f.txt", 65534, 65534)
    os.chmod(tmp + "/f.txt", 0o640)
    before = os.stat(tmp + "/f.txt")
    ok(velk(tmp, '$writefile$("f.txt" "new")\n$writefile$("g.txt" "new")'))
    after = os.stat(tmp + "/f.txt")
    assert (after.st_uid, after.st_gid, after.st_mode) == (before.st_uid, before.st_gid, before.st_mode)
    assert text(tmp, "second") == "new", "the hard link kept the old content"


def in_place_fallbacks(tmp, cleanups):  # an unwritable folder; a file that is a mount point
    for name in ("mine.txt", "mounted.txt", "other.txt"):
        text(tmp, name, "old")
    bind(tmp, "other.txt", "mounted.txt", cleanups)
    os.chmod(tmp, 0o755), os.chown(tmp + "/mine.txt", 65534, 65534)
    ok(velk(tmp, '$writefile$("mine.txt" "new")', user=True))
    ok(velk(tmp, '$writefile$("mounted.txt" "new")'))
    assert text(tmp, "mine.txt") == text(tmp, "other.txt") == "new"


def signal_removes_temporary(tmp, cleanups):
    for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        text(tmp, "f.txt", "old")
        p = subprocess.Popen([VELK, "-e", 's = ("x" * 300000000)\n$writefile$("f.txt" s)'], cwd=tmp)
        deadline = time.time() + 60
        while not glob.glob(tmp + "/.f.txt.velk-*") and p.poll() is None and time.time() < deadline:
            time.sleep(0.001)
        p.send_signal(sig)
        assert p.wait() == -sig and not glob.glob(tmp + "/.f.txt.velk-*") and text(tmp, "f.txt") == "old", sig


def open_failures(tmp, cleanups):  # no descriptors left: an error, never an empty text
    if b"__asan_init" in open(VELK, "rb").read():
        raise Skip("the sanitizers' own checks need descriptors")
    text(tmp, "f.txt", '$print$("ran")\n'), text(tmp, "f.VELK", '$print$("ran")\n')
    for line, shown in ((b'x = $readfile$("f.txt")\n', b"readfile of `f.txt`"), (b'also ("f")\n', b"also of `f.VELK`")):
        p = subprocess.Popen([VELK], cwd=tmp, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        p.stdin.write(b'$print$("ready")\n'), p.stdin.flush(), p.stdout.readline(), p.stdout.readline()
        resource.prlimit(p.pid, resource.RLIMIT_NOFILE, (len(os.listdir(f"/proc/{p.pid}/fd")),) * 2)
        out, err = p.communicate(line)
        assert p.returncode == 1 and shown + b": Too many open files" in err and b"ran" not in out, err


def reads_keep_no_buffers(tmp, cleanups):
    text(tmp, "f.txt", "ab")
    p = subprocess.Popen([VELK, "-e", 'list l\ni = 0\nuntil (i < 5000) {\nadd l $readfile$("f.txt")\ni += 1\n}'],
                         cwd=tmp)
    _, status, usage = os.wait4(p.pid, 0)
    assert status == 0 and usage.ru_maxrss < 100 * 1024, f"peak {usage.ru_maxrss} KiB"


if __name__ == "__main__":
    VELK, name = os.path.abspath(sys.argv[2]), sys.argv[3]
    tmp, cleanups = tempfile.mkdtemp(prefix="velk-hostile-"), []
    os.mkdir(tmp + "/lib")
    try:
        globals()[name](tmp, cleanups)
    except Skip as e:
        print(f"skipped: {e}")
        sys.exit(77)
    finally:
        for c in reversed(cleanups):
            c()
        subprocess.run(["rm", "-rf", tmp])
    print(f"passed {name}")
