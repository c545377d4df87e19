local function f(a)
    local t = a + 1
    if t > 5 then return 1 end
    return 0
end

local function main()
    local s, i = 0, 0
    while i < @N@ do
        s = s + f(i)
        i = i + 1
    end
    print("RESULT " .. s)
end

main()
