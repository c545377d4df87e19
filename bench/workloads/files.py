PRODUCTS = ["bolt", "nut", "washer", "hinge", "bracket", "spring"]

def main():
    seed = 3

    def random(limit):
        nonlocal seed
        seed = seed * 16807 % 2147483647
        return seed % limit

    rows = []
    for i in range(@N@):
        product = PRODUCTS[random(len(PRODUCTS))]
        quantity = random(50) + 1
        price = random(1000) + 1
        rows.append("%d,%s,%d,%d\n" % (i, product, quantity, price))
    with open("files-orders.csv", "w") as f:
        f.write("".join(rows))

    with open("files-orders.csv") as f:
        data = f.read()
    lines = total = 0
    for line in data.splitlines():
        _, _, quantity, price = line.split(",")
        total += int(quantity) * int(price)
        lines += 1
    print("RESULT", len(data), lines, total)

main()
