local function main()
    local s, i = 0, 0
    while i < @N@ do
        s = s + i
        i = i + 1
    end
    print("RESULT " .. s)
end

main()
