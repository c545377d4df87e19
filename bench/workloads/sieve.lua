local function main()
    local n = @N@
    -- flags[i + 1] tells whether i is prime
    local flags = {}
    for i = 1, n do flags[i] = true end
    flags[1], flags[2] = false, false
    local p = 2
    while p * p < n do
        if flags[p + 1] then
            for m = p * p, n - 1, p do
                flags[m + 1] = false
            end
        end
        p = p + 1
    end
    local count, total = 0, 0
    for i = 1, n do
        if flags[i] then
            count = count + 1
            total = total + (i - 1)
        end
    end
    print("RESULT " .. count .. " " .. total)
end

main()
