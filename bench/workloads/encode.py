def encode(l):
    parts = []
    for x in l:
        parts.append('"' + x + '"' if isinstance(x, str) else str(x))
    return "(" + " ".join(parts) + ")"

def decode(e):
    d = []
    for item in e[1:-1].split(" "):
        d.append(item[1:-1] if item[0] == '"' else int(item))
    return d

def main():
    l = []
    for i in range(0, @N@, 2):
        l.append(i)
        l.append(str(i))
    n = 0
    for r in range(@R@):
        e = encode(l)
        d = decode(e)
        n += len(d)
    print("RESULT", len(e), n)

main()
