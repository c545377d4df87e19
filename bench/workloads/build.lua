local function main()
    local parts = {}
    for i = 0, @N@ - 1 do
        parts[#parts + 1] = tostring(i)
        parts[#parts + 1] = ","
    end
    local s = table.concat(parts)
    print("RESULT " .. #s)
end

main()
