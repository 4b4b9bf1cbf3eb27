// Any text in the kernel's socket list: lines are read within their buffer,
// and a line becomes a connection entry only as an established IPv4 socket
// with both ends known, with nothing else in the entry set.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "agapi.h"
#include "natapi/conn_recovery.h"

namespace {

void check_entry(const char *line)
{
    ConnTblEntry entry;
    std::memset(&entry, 0xa5, sizeof entry);
    if (zoltNat_ProcTcpToConnTbl(line, &entry) != 1)
        return;
    ConnTblEntry expected{};
    expected.ulSrcIp = entry.ulSrcIp;
    expected.ulDstIp = entry.ulDstIp;
    expected.usSrcPort = entry.usSrcPort;
    expected.usDstPort = entry.usDstPort;
    expected.bProtocol = 6;
    if (!zoltNat_isLegalConn(entry) || std::memcmp(&entry, &expected, sizeof entry) != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    check_entry(text.c_str());

    // Read as a socket list, through a buffer as small as the first byte says.
    if (size == 0)
        return 0;
    FILE *stream = fmemopen(text.data(), text.size(), "r");
    if (!stream)
        return 0;
    size_t room = data[0] % 2 ? 1 + data[0] % 64 : arnonat::natapi::kSocketLineSize;
    std::string line(room, '\0');
    bool whole = true;
    size_t lines = 0;
    while (arnonat::natapi::read_socket_line(stream, line.data(), room, whole)) {
        size_t n = std::strlen(line.c_str());
        if (n >= room || std::memchr(line.data(), '\n', n) || ++lines > size)
            std::abort();
        if (whole)
            check_entry(line.c_str());
    }
    std::fclose(stream);
    return 0;
}
