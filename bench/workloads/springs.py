def main():
    masses, steps, dt = @M@, @S@, 0.0625
    x = [(j % 7 - 3) * 0.125 for j in range(masses)]
    v = [0.0] * masses
    a = [0.0] * masses
    for _ in range(steps):
        for j in range(masses):
            a[j] = x[j - 1] + x[(j + 1) % masses] - 2.0 * x[j]
        for j in range(masses):
            v[j] += a[j] * dt
            x[j] += v[j] * dt
    energy = 0.0
    for j in range(masses):
        stretch = x[(j + 1) % masses] - x[j]
        energy += (v[j] * v[j] + stretch * stretch) * 0.5
    print("RESULT %.6f %.6f" % (energy, x[0]))

main()
