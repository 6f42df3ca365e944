# A full firmware image as Intel HEX on standard output: every program word
# from 0x0300, the whole EEPROM and the 14 configuration bytes, each byte a
# function of its address. For the zqctl benchmarks:  awk -f full_image.awk
function record(address, type, data,    n, sum, i) {
    n = length(data) / 2
    sum = n + int(address / 256) + address % 256 + type
    for (i = 1; i < length(data); i += 2) sum += hex[substr(data, i, 2)]
    printf ":%02X%04X%02X%s%02X\n", n, address, type, data, (256 - sum % 256) % 256
}
function pattern(a,    out, k) {
    out = ""
    for (k = 0; k < 16; k++) out = out sprintf("%02X", ((a + k) * 37) % 251)
    return out
}
BEGIN {
    for (i = 0; i < 256; i++) hex[sprintf("%02X", i)] = i
    record(0, 4, "0000")
    for (a = 768; a < 65536; a += 16) record(a, 0, pattern(a))
    record(0, 4, "00F0")
    for (a = 0; a < 1024; a += 16) record(a, 0, pattern(a))
    record(0, 4, "0030")
    record(0, 0, "0022110E00810085000F00C0000F")
    print ":00000001FF"
}
