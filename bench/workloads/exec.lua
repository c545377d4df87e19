local function main()
    local total = 0
    for i = 0, @N@ - 1 do
        local factor = i % 7 + 1
        local code = string.format(
            "return function(a)\n    local r = a * %d\n    return r + %d\nend\n", factor, i)
        local scale = assert(load(code))()
        total = total + scale(i)
    end
    print("RESULT " .. total)
end

main()
