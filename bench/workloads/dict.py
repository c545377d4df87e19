def insertdict(target, key, value):
    keys, values = target
    if key in keys:
        position = keys.index(key)
        del keys[position]
        del values[position]
    keys.append(key)
    values.append(value)
    return [keys, values]

def getdict(target, key):
    keys, values = target
    return values[keys.index(key)]

def main():
    d = [[], []]
    for i in range(@N@):
        d = insertdict(d, "k" + str(i), i)
    s = 0
    for i in range(@N@):
        s += getdict(d, "k" + str(i))
    print("RESULT", s)

main()
