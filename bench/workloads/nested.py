import json

def main():
    check = size = 0
    for round in range(@R@):
        orders = []
        for i in range(@N@):
            lines = [["part%d" % (i + j), i % 5 + j + 1, round + j] for j in range(3)]
            orders.append([i, "customer%d" % (i % 97), lines])
        text = json.dumps(orders)
        back = json.loads(text)
        for id, customer, items in back:
            check += id + len(customer)
            for _, count, extra in items:
                check += count * extra
        size += len(back)
    print("RESULT", size, check)

main()
