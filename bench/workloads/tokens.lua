local names = {"count", "total", "x", "width", "index_", "Value", "tmp", "rate"}
local operators = {"+", "-", "*", "/", "<", "=="}

local seed = 11
local function random(limit)
    seed = seed * 16807 % 2147483647
    return seed % limit
end

local function pickname()
    local name = names[random(#names) + 1]
    return name .. random(100)
end

-- The class of each byte: 1 a letter, 2 a digit, 0 a blank, else punctuation.
local class = {}
for c in ("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_"):gmatch(".") do
    class[c:byte()] = 1
end
for c in ("0123456789"):gmatch(".") do
    class[c:byte()] = 2
end
class[(" "):byte()] = 0
class[("\n"):byte()] = 0

local function main()
    local lines = {}
    for i = 1, @N@ do
        local op = operators[random(#operators) + 1]
        local target = pickname()
        local left = pickname()
        local number = random(100000)
        lines[i] = string.format("%s = (%s %s %d) * %s;\n", target, left, op, number, pickname())
    end
    local text = table.concat(lines)

    local byte, sub = string.byte, string.sub
    local nameturns, namebytes, numbers, total, puncts = 0, 0, 0, 0, 0
    local i, n = 1, #text
    while i <= n do
        local k = class[byte(text, i)] or 3
        if k == 1 then
            local start = i
            i = i + 1
            while i <= n and (class[byte(text, i)] == 1 or class[byte(text, i)] == 2) do
                i = i + 1
            end
            nameturns = nameturns + 1
            namebytes = namebytes + (i - start)
        elseif k == 2 then
            local start = i
            i = i + 1
            while i <= n and class[byte(text, i)] == 2 do
                i = i + 1
            end
            numbers = numbers + 1
            total = total + tonumber(sub(text, start, i - 1))
        else
            if k == 3 then puncts = puncts + 1 end
            i = i + 1
        end
    end
    print("RESULT " .. nameturns .. " " .. namebytes .. " " .. numbers .. " " .. total .. " " .. puncts)
end

main()
