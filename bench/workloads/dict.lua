-- The library's dictionary: a pair of lists, keys and values, searched in order.
local function find(list, key)
    for i = 1, #list do
        if list[i] == key then return i end
    end
    return nil
end

local function insertdict(target, key, value)
    local keys, values = target[1], target[2]
    local position = find(keys, key)
    if position then
        table.remove(keys, position)
        table.remove(values, position)
    end
    keys[#keys + 1] = key
    values[#values + 1] = value
    return {keys, values}
end

local function getdict(target, key)
    return target[2][find(target[1], key)]
end

local function main()
    local d = {{}, {}}
    for i = 0, @N@ - 1 do
        d = insertdict(d, "k" .. i, i)
    end
    local s = 0
    for i = 0, @N@ - 1 do
        s = s + getdict(d, "k" .. i)
    end
    print("RESULT " .. s)
end

main()
