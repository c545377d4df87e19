def main():
    l = []
    i = 0
    while i < @N@:
        l.append(i)
        i += 1
    s = 0
    for e in l:
        s += e
    print("RESULT", s)

main()
