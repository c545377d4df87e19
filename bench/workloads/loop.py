def main():
    s = 0
    i = 0
    while i < @N@:
        s += i
        i += 1
    print("RESULT", s)

main()
