local function main()
    local masses, steps, dt = @M@, @S@, 0.0625
    local x, v, a = {}, {}, {}
    for j = 1, masses do
        x[j] = ((j - 1) % 7 - 3) * 0.125
        v[j] = 0.0
        a[j] = 0.0
    end
    for _ = 1, steps do
        for j = 1, masses do
            local left = j == 1 and masses or j - 1
            local right = j == masses and 1 or j + 1
            a[j] = x[left] + x[right] - 2.0 * x[j]
        end
        for j = 1, masses do
            local vj = v[j] + a[j] * dt
            v[j] = vj
            x[j] = x[j] + vj * dt
        end
    end
    local energy = 0.0
    for j = 1, masses do
        local right = j == masses and 1 or j + 1
        local stretch = x[right] - x[j]
        energy = energy + (v[j] * v[j] + stretch * stretch) * 0.5
    end
    print(string.format("RESULT %.6f %.6f", energy, x[1]))
end

main()
