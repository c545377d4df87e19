def main():
    # Pieces joined once: the idiom, and linear whatever the interpreter's
    # handling of `s += "x"` (some builds copy the whole string each time).
    parts = []
    i = 0
    while i < @N@:
        parts.append("x")
        i += 1
    s = "".join(parts)
    print("RESULT", len(s))

main()
