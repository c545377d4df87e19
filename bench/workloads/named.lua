local function area(width, height)
    return width * height
end

local function volume(width, height, depth)
    return area(width, height) * depth
end

local function price(width, height, depth, rate, discount)
    local size = volume(width, height, depth)
    if size > 100 then
        return size * rate - discount
    end
    return size * rate
end

local function main()
    local total = 0
    for i = 0, @N@ - 1 do
        total = total + price(i % 10 + 1, i % 7 + 1, i % 5 + 1, 3, 25)
    end
    print("RESULT " .. total)
end

main()
