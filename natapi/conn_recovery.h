// Connection recovery: the router's own established TCP sockets, read from
// the kernel's socket list, handed to the engine one by one.
#pragma once

#include <cstddef>
#include <cstdio>

namespace arnonat::natapi {

// The kernel's socket list and the room for one of its lines.
inline constexpr char kSocketList[] = "/proc/net/tcp";
inline constexpr size_t kSocketLineSize = 8192;

// Reads the next line of STREAM, without its newline, into LINE (SIZE
// bytes, at least 1).  A line that does not fit is read to its end and
// reported with WHOLE false, so that its tail is never taken for a line of
// its own.  False at the end of the stream or on a read error.
bool read_socket_line(FILE *stream, char *line, size_t size, bool &whole);

// Hands the engine one entry per usable line of STREAM.
void recover_from(FILE *stream);

// Recovery from the socket list at PATH; zoltNat_DoConnRecovery uses
// kSocketList.  Returns 0.
int recover_connections(const char *path);

} // namespace arnonat::natapi
