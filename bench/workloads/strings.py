def main():
    s = ""
    i = 0
    while i < @N@:
        s += "x"
        i += 1
    print("RESULT", len(s))

main()
