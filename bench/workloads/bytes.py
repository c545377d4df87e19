def main():
    with open("@FILE@") as f:
        t = f.read()
    n = 0
    for c in t:
        if c == "e":
            n += 1
    print("RESULT", n)

main()
