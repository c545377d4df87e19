local departments = {"sales", "tools", "books", "garden", "toys"}

local seed = 5
local function random(limit)
    seed = seed * 16807 % 2147483647
    return seed % limit
end

local function main()
    local staff = {}
    for i = 0, @N@ - 1 do
        local department = departments[random(5) + 1]
        local pay = 1000 + random(9000)
        local street = random(200) .. " Main Street"
        local zip = 10000 + random(90000)
        staff[#staff + 1] = {
            id = i, name = "person" .. i, department = department, pay = pay,
            home = {street = street, zip = zip},
        }
    end

    for _, p in ipairs(staff) do
        if p.department == "books" then
            p.pay = p.pay + 150
        end
        if p.home.zip < 20000 then
            p.home.zip = p.home.zip + 1
        end
    end

    local totals = {}
    for _, d in ipairs(departments) do totals[d] = 0 end
    local zips, namebytes = 0, 0
    for _, p in ipairs(staff) do
        totals[p.department] = totals[p.department] + p.pay
        zips = zips + p.home.zip
        namebytes = namebytes + #p.name
    end
    local shown = {}
    for i, d in ipairs(departments) do shown[i] = totals[d] end
    print("RESULT [" .. table.concat(shown, ", ") .. "] " .. zips .. " " .. namebytes)
end

main()
