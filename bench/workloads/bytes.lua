local function main()
    local f = assert(io.open("@FILE@", "rb"))
    local t = f:read("a")
    f:close()
    local byte, e = string.byte, string.byte("e")
    local n = 0
    for i = 1, #t do
        if byte(t, i) == e then
            n = n + 1
        end
    end
    print("RESULT " .. n)
end

main()
