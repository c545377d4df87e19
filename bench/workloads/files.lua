local products = {"bolt", "nut", "washer", "hinge", "bracket", "spring"}

local seed = 3
local function random(limit)
    seed = seed * 16807 % 2147483647
    return seed % limit
end

local function main()
    local rows = {}
    for i = 0, @N@ - 1 do
        local product = products[random(#products) + 1]
        local quantity = random(50) + 1
        local price = random(1000) + 1
        rows[#rows + 1] = string.format("%d,%s,%d,%d\n", i, product, quantity, price)
    end
    local f = assert(io.open("files-orders.csv", "w"))
    f:write(table.concat(rows))
    f:close()

    f = assert(io.open("files-orders.csv", "r"))
    local data = f:read("a")
    f:close()
    local lines, total = 0, 0
    for line in data:gmatch("[^\n]+") do
        local quantity, price = line:match("^[^,]*,[^,]*,([^,]*),([^,]*)$")
        total = total + tonumber(quantity) * tonumber(price)
        lines = lines + 1
    end
    print("RESULT " .. #data .. " " .. lines .. " " .. total)
end

main()
