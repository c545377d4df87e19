def main():
    parts = []
    i = 0
    while i < @N@:
        parts.append(str(i))
        parts.append(",")
        i += 1
    s = "".join(parts)
    print("RESULT", len(s))

main()
