local function encode(l)
    local parts = {}
    for i, x in ipairs(l) do
        if type(x) == "string" then
            parts[i] = '"' .. x .. '"'
        else
            parts[i] = tostring(x)
        end
    end
    return "(" .. table.concat(parts, " ") .. ")"
end

local function decode(e)
    local d = {}
    for item in e:sub(2, -2):gmatch("[^ ]+") do
        if item:sub(1, 1) == '"' then
            d[#d + 1] = item:sub(2, -2)
        else
            d[#d + 1] = math.tointeger(tonumber(item))
        end
    end
    return d
end

local function main()
    local l = {}
    for i = 0, @N@ - 1, 2 do
        l[#l + 1] = i
        l[#l + 1] = tostring(i)
    end
    local n, e = 0, nil
    for _ = 1, @R@ do
        e = encode(l)
        local d = decode(e)
        n = n + #d
    end
    print("RESULT " .. #e .. " " .. n)
end

main()
