// Any text in the kernel's socket list: lines are read within their buffer,
// and a line becomes a connection entry only as an established IPv4 socket
// with both ends known, with nothing else in the entry set.
#include "agapi.h"
#include "fuzz/harness.h"
#include "natapi/conn_recovery.h"

static void check_entry(const char *line)
{
    ConnTblEntry entry;
    std::memset(&entry, 0xa5, sizeof entry);
    if (zoltNat_ProcTcpToConnTbl(line, &entry) != 1)
        return;
    const ConnTblEntry expected = {.ulSrcIp = entry.ulSrcIp, .ulDstIp = entry.ulDstIp, .usSrcPort = entry.usSrcPort,
                                   .usDstPort = entry.usDstPort, .bProtocol = 6};
    fuzz::check(zoltNat_isLegalConn(entry) && std::memcmp(&entry, &expected, sizeof entry) == 0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    check_entry(text.c_str());
    // Read as a socket list, through a buffer as small as the first byte says.
    FILE *stream = size ? fmemopen(text.data(), text.size(), "r") : nullptr;
    if (!stream)
        return 0;
    size_t room = data[0] % 2 ? 1 + data[0] % 64 : arnonat::natapi::kSocketLineSize, lines = 0;
    std::string line(room, '\0');
    bool whole = true;
    while (arnonat::natapi::read_socket_line(stream, line.data(), room, whole)) {
        size_t n = std::strlen(line.c_str());
        fuzz::check(n < room && !std::memchr(line.data(), '\n', n) && ++lines <= size);
        if (whole)
            check_entry(line.c_str());
    }
    std::fclose(stream);
    return 0;
}
