import base64

def main():
    with open("@FILE@", "rb") as f:
        t = f.read()
    n = 0
    for i in range(@R@):
        u = base64.b64decode(base64.b64encode(t))
        n += len(u)
    print("RESULT", n)

main()
