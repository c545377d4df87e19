def main():
    seed = 42

    def random(limit):
        nonlocal seed
        seed = seed * 16807 % 2147483647
        return seed % limit

    def qsort(items):
        if len(items) < 2:
            return items
        pivot = items[len(items) // 2]
        less = [x for x in items if x < pivot]
        same = [x for x in items if x == pivot]
        more = [x for x in items if x > pivot]
        return qsort(less) + same + qsort(more)

    numbers = [random(100000) for _ in range(@N@)]
    s = qsort(numbers)
    check = sum(i * x for i, x in enumerate(s))
    bad = sum(1 for a, b in zip(s, s[1:]) if b < a)
    print("RESULT", s[0], s[-1], check, bad)

main()
