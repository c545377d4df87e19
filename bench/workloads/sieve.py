def main():
    n = @N@
    flags = [True] * n
    flags[0] = flags[1] = False
    p = 2
    while p * p < n:
        if flags[p]:
            for m in range(p * p, n, p):
                flags[m] = False
        p += 1
    count = total = 0
    for i, prime in enumerate(flags):
        if prime:
            count += 1
            total += i
    print("RESULT", count, total)

main()
