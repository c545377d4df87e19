VOCAB = ("the of and a to in is you that it he was for on are as with his they at "
         "be this have from or one had by word but").split()

def main():
    seed = 7

    def random(limit):
        nonlocal seed
        seed = seed * 16807 % 2147483647
        return seed % limit

    parts = []
    for i in range(@N@):
        parts.append(VOCAB[random(len(VOCAB))])
        parts.append("\n" if i % 12 == 11 else " ")
    text = "".join(parts) + "\n"

    counts = {}
    for word in text.split():
        counts[word] = counts.get(word, 0) + 1
    check = sum(k * counts[w] for k, w in enumerate(VOCAB, 1))
    print("RESULT", len(counts), check)

main()
