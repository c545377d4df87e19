-- Lua has no Base64 of its own: the usual table-driven codec, three bytes to
-- four characters (two lookups of twelve bits), with the pieces joined once.
local alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
local enc, dec = {}, {}
for i = 0, 63 do
    local c = alphabet:sub(i + 1, i + 1)
    enc[i] = c
    dec[c:byte()] = i
end
local enc12 = {}
for i = 0, 4095 do
    enc12[i] = enc[i >> 6] .. enc[i & 63]
end

local function encode(s)
    local out, n, byte = {}, 0, string.byte
    local len = #s
    for i = 1, len - 2, 3 do
        local a, b, c = byte(s, i, i + 2)
        local v = a << 16 | b << 8 | c
        n = n + 1
        out[n] = enc12[v >> 12] .. enc12[v & 4095]
    end
    local rest = len % 3
    if rest == 1 then
        local v = byte(s, len) << 16
        out[n + 1] = enc[v >> 18] .. enc[v >> 12 & 63] .. "=="
    elseif rest == 2 then
        local a, b = byte(s, len - 1, len)
        local v = a << 16 | b << 8
        out[n + 1] = enc[v >> 18] .. enc[v >> 12 & 63] .. enc[v >> 6 & 63] .. "="
    end
    return table.concat(out)
end

local function decode(s)
    local out, n, byte, char = {}, 0, string.byte, string.char
    local len = #s
    local pad = 0
    if s:sub(-2) == "==" then pad = 2 elseif s:sub(-1) == "=" then pad = 1 end
    local full = len - (pad > 0 and 4 or 0)
    for i = 1, full, 4 do
        local a, b, c, d = byte(s, i, i + 3)
        local v = dec[a] << 18 | dec[b] << 12 | dec[c] << 6 | dec[d]
        n = n + 1
        out[n] = char(v >> 16, v >> 8 & 255, v & 255)
    end
    if pad == 2 then
        local a, b = byte(s, len - 3, len - 2)
        out[n + 1] = char((dec[a] << 18 | dec[b] << 12) >> 16)
    elseif pad == 1 then
        local a, b, c = byte(s, len - 3, len - 1)
        local v = dec[a] << 18 | dec[b] << 12 | dec[c] << 6
        out[n + 1] = char(v >> 16, v >> 8 & 255)
    end
    return table.concat(out)
end

local function main()
    local f = assert(io.open("@FILE@", "rb"))
    local t = f:read("a")
    f:close()
    local n = 0
    for _ = 1, @R@ do
        local u = decode(encode(t))
        n = n + #u
    end
    print("RESULT " .. n)
end

main()
