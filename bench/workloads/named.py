def area(width, height):
    return width * height

def volume(width, height, depth):
    return area(width=width, height=height) * depth

def price(width, height, depth, rate, discount):
    size = volume(width=width, height=height, depth=depth)
    if size > 100:
        return size * rate - discount
    return size * rate

def main():
    total = 0
    for i in range(@N@):
        total += price(width=i % 10 + 1, height=i % 7 + 1, depth=i % 5 + 1, rate=3, discount=25)
    print("RESULT", total)

main()
