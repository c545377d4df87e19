-- Lua strings are immutable: a buffer of pieces joined once is the idiom.
local function main()
    local parts = {}
    for i = 1, @N@ do
        parts[i] = "x"
    end
    local s = table.concat(parts)
    print("RESULT " .. #s)
end

main()
