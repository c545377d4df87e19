local function main()
    local l = {}
    for i = 0, @N@ - 1 do
        l[#l + 1] = i
    end
    local s = 0
    for _, e in ipairs(l) do
        s = s + e
    end
    print("RESULT " .. s)
end

main()
