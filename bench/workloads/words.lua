local vocab = {}
for w in ("the of and a to in is you that it he was for on are as with his they at " ..
          "be this have from or one had by word but"):gmatch("%S+") do
    vocab[#vocab + 1] = w
end

local seed = 7
local function random(limit)
    seed = seed * 16807 % 2147483647
    return seed % limit
end

local function main()
    local parts = {}
    for i = 0, @N@ - 1 do
        parts[#parts + 1] = vocab[random(#vocab) + 1]
        parts[#parts + 1] = i % 12 == 11 and "\n" or " "
    end
    local text = table.concat(parts) .. "\n"
    local counts, distinct = {}, 0
    for word in text:gmatch("%S+") do
        local c = counts[word]
        if not c then distinct = distinct + 1 end
        counts[word] = (c or 0) + 1
    end
    local check = 0
    for k, w in ipairs(vocab) do
        check = check + k * counts[w]
    end
    print("RESULT " .. distinct .. " " .. check)
end

main()
