NAMES = ["count", "total", "x", "width", "index_", "Value", "tmp", "rate"]
OPERATORS = ["+", "-", "*", "/", "<", "=="]
LETTERS = frozenset("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_")
DIGITS = frozenset("0123456789")
NAME_BYTES = LETTERS | DIGITS

def main():
    seed = 11

    def random(limit):
        nonlocal seed
        seed = seed * 16807 % 2147483647
        return seed % limit

    def pickname():
        name = NAMES[random(len(NAMES))]
        return name + str(random(100))

    lines = []
    for _ in range(@N@):
        op = OPERATORS[random(len(OPERATORS))]
        target = pickname()
        left = pickname()
        number = random(100000)
        lines.append("%s = (%s %s %d) * %s;\n" % (target, left, op, number, pickname()))
    text = "".join(lines)

    names = namebytes = numbers = total = puncts = 0
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if c in LETTERS:
            start = i
            i += 1
            while i < n and text[i] in NAME_BYTES:
                i += 1
            names += 1
            namebytes += i - start
        elif c in DIGITS:
            start = i
            i += 1
            while i < n and text[i] in DIGITS:
                i += 1
            numbers += 1
            total += int(text[start:i])
        else:
            if c != " " and c != "\n":
                puncts += 1
            i += 1
    print("RESULT", names, namebytes, numbers, total, puncts)

main()
