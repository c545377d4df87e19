-- Lua's own serial form of a table is a table constructor, read back with load.
local function encode(value, out)
    local kind = type(value)
    if kind == "table" then
        out[#out + 1] = "{"
        for i, item in ipairs(value) do
            if i > 1 then out[#out + 1] = "," end
            encode(item, out)
        end
        out[#out + 1] = "}"
    elseif kind == "string" then
        out[#out + 1] = string.format("%q", value)
    else
        out[#out + 1] = tostring(value)
    end
    return out
end

local function main()
    local check, size = 0, 0
    for round = 0, @R@ - 1 do
        local orders = {}
        for i = 0, @N@ - 1 do
            local lines = {}
            for j = 0, 2 do
                lines[j + 1] = {"part" .. (i + j), i % 5 + j + 1, round + j}
            end
            orders[i + 1] = {i, "customer" .. (i % 97), lines}
        end
        local text = table.concat(encode(orders, {}))
        local back = assert(load("return " .. text))()
        for _, order in ipairs(back) do
            check = check + order[1] + #order[2]
            for _, item in ipairs(order[3]) do
                check = check + item[2] * item[3]
            end
        end
        size = size + #back
    end
    print("RESULT " .. size .. " " .. check)
end

main()
