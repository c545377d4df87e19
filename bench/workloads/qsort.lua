local seed = 42

local function random(limit)
    seed = seed * 16807 % 2147483647
    return seed % limit
end

local function qsort(items)
    if #items < 2 then return items end
    local pivot = items[#items // 2 + 1]
    local less, same, more = {}, {}, {}
    for _, x in ipairs(items) do
        if x < pivot then
            less[#less + 1] = x
        elseif x == pivot then
            same[#same + 1] = x
        else
            more[#more + 1] = x
        end
    end
    local out = qsort(less)
    table.move(same, 1, #same, #out + 1, out)
    local sorted = qsort(more)
    table.move(sorted, 1, #sorted, #out + 1, out)
    return out
end

local function main()
    local numbers = {}
    for i = 1, @N@ do
        numbers[i] = random(100000)
    end
    local s = qsort(numbers)
    local check, bad = 0, 0
    for i = 1, #s do
        check = check + (i - 1) * s[i]
        if i > 1 and s[i] < s[i - 1] then bad = bad + 1 end
    end
    print("RESULT " .. s[1] .. " " .. s[#s] .. " " .. check .. " " .. bad)
end

main()
