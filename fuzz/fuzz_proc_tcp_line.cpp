// Any text in the kernel's socket list, read line by line through a buffer
// as small as the first byte says, each whole line read as a connection
// entry.  Which lines become which entries is the connection unit test's.
#include "agapi.h"
#include "fuzz/harness.h"
#include "natapi/conn_recovery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    ConnTblEntry entry;
    zoltNat_ProcTcpToConnTbl(text.c_str(), &entry);
    FILE *stream = size ? fmemopen(text.data(), text.size(), "r") : nullptr;
    if (!stream)
        return 0;
    size_t room = data[0] % 2 ? 1 + data[0] % 64 : arnonat::natapi::kSocketLineSize, lines = 0;
    std::vector<char> line(room); // exactly its size, so a write past it is caught
    bool whole = true;
    while (arnonat::natapi::read_socket_line(stream, line.data(), room, whole)) {
        fuzz::check(++lines <= size);
        if (whole)
            zoltNat_ProcTcpToConnTbl(line.data(), &entry);
    }
    std::fclose(stream);
    return 0;
}
