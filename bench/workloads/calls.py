def f(a):
    t = a + 1
    if t > 5:
        return 1
    return 0

def main():
    s = 0
    i = 0
    while i < @N@:
        s += f(i)
        i += 1
    print("RESULT", s)

main()
