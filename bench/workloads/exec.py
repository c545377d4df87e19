def main():
    total = 0
    space = {}
    for i in range(@N@):
        factor = i % 7 + 1
        code = "def scale(a):\n    r = a * %d\n    return r + %d\n" % (factor, i)
        exec(code, space)
        total += space["scale"](i)
    print("RESULT", total)

main()
