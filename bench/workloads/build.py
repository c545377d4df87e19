def main():
    s = ""
    i = 0
    while i < @N@:
        s = s + str(i) + ","
        i += 1
    print("RESULT", len(s))

main()
