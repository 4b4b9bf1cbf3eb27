// Connection recovery: after the engine restarts, it learns the router's
// own established TCP sockets from the kernel's socket list.
#include "natapi/conn_recovery.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>

#include "agapi.h"
#include "natapi/exchange.h"
#include "platform/heap_buffer.h"

using namespace arnonat::natapi;

namespace {

constexpr unsigned kEstablished = 1;
constexpr uint8_t kTcp = 6;
// Address fields of the socket list hold at most 64 digits; an IPv4
// address word is 8 of them.
constexpr size_t kAddressText = 64;
constexpr size_t kIpv4Digits = 8;
constexpr size_t kRestText = 512;
// Slot, local address and port, remote address and port, state.
constexpr int kNeededFields = 6;

// Hex digits of an address word as it lies in memory: the kernel prints the
// network-order word with %08X, so reading the text back gives that word.
bool address_word(const char *text, uint32_t &word)
{
    size_t n = std::strlen(text);
    if (n == 0 || n > kIpv4Digits)
        return false;
    word = static_cast<uint32_t>(std::strtoul(text, nullptr, 16));
    return true;
}

struct SocketLine {
    int slot;
    char local[kAddressText + 1];
    unsigned local_port;
    char remote[kAddressText + 1];
    unsigned remote_port;
    unsigned state;
    unsigned long tx_queue, rx_queue;
    unsigned timer;
    unsigned long expiry, retransmits;
    int uid, timeout;
    long inode;
    char rest[kRestText + 1];
};

// True when the fields up to the state were read.  The text fields hold the
// widths the format gives them plus a terminator.
static_assert(kAddressText == 64 && kRestText == 512);
bool parse(const char *line, SocketLine &s)
{
    int n = std::sscanf(line, "%d: %64[0-9A-Fa-f]:%X %64[0-9A-Fa-f]:%X %X %lX:%lX %X:%lX %lX %d %d %ld %512s\n",
                        &s.slot, s.local, &s.local_port, s.remote, &s.remote_port, &s.state,
                        &s.tx_queue, &s.rx_queue, &s.timer, &s.expiry, &s.retransmits, &s.uid,
                        &s.timeout, &s.inode, s.rest);
    return n >= kNeededFields;
}

} // namespace

namespace arnonat::natapi {

bool read_socket_line(FILE *stream, char *line, size_t size, bool &whole)
{
    size_t n = 0;
    bool any = false;
    whole = true;
    for (int c; (c = std::fgetc(stream)) != EOF;) {
        any = true;
        if (c == '\n')
            break;
        if (n + 1 < size)
            line[n++] = static_cast<char>(c);
        else
            whole = false;
    }
    line[n] = '\0';
    return any;
}

void recover_from(FILE *stream)
{
    // A line of the socket list is 8 KiB: on the heap.
    arnonat::HeapBuffer buffer;
    if (!buffer.allocate(kSocketLineSize)) {
        std::printf("[zoltNat_DoConnRecovery]:malloc failed:0\n");
        return;
    }
    char *line = static_cast<char *>(buffer.get());
    bool whole = true;
    while (read_socket_line(stream, line, kSocketLineSize, whole)) {
        if (!whole) {
            std::printf("[zoltNat_DoConnRecovery]:socket line longer than %zu bytes passed over\n",
                        kSocketLineSize - 1);
            continue;
        }
        ConnTblEntry entry;
        if (zoltNat_ProcTcpToConnTbl(line, &entry) == 1)
            agApi_natAddConnTblEntry(entry);
    }
}

int recover_connections(const char *path)
{
    FILE *stream = std::fopen(path, "r");
    if (!stream) {
        std::printf("zoltNat_DoConnRecovery5915 : file %s open error \n", path);
        return 0;
    }
    recover_from(stream);
    std::fclose(stream);
    return 0;
}

} // namespace arnonat::natapi

extern "C" {

int zoltNat_isLegalConn(ConnTblEntry entry)
{
    return entry.ulSrcIp != 0 && entry.ulDstIp != 0 && entry.usSrcPort != 0 &&
           entry.usDstPort != 0;
}

int zoltNat_ProcTcpToConnTbl(const char *line, ConnTblEntry *entry)
{
    if (!entry)
        return 0;
    std::memset(entry, 0, sizeof *entry);
    if (!line)
        return 0;
    SocketLine s{};
    if (!parse(line, s) || s.state != kEstablished)
        return 0;
    // Only IPv4 sockets: a longer address text is not one address word.
    uint32_t local, remote;
    if (!address_word(s.local, local) || !address_word(s.remote, remote))
        return 0;
    // The remote side is the source of the connection, the router's own
    // side its destination.
    entry->ulDstIp = local;
    entry->ulSrcIp = remote;
    entry->bProtocol = kTcp;
    entry->usSrcPort = htons(static_cast<uint16_t>(s.remote_port & 0xffff));
    entry->usDstPort = htons(static_cast<uint16_t>(s.local_port & 0xffff));
    return zoltNat_isLegalConn(*entry);
}

int agApi_natAddConnTblEntry(ConnTblEntry entry)
{
    const Command c = Command::natAddConnTblEntry;
    Channel channel(c);
    if (!channel) {
        report_open_failure(c);
        return 0;
    }
    int result = channel.send(address(&entry));
    if (result < 0) {
        report_refusal(c, result);
        return -1;
    }
    std::printf("agApi_natAddConnTblEntryadd Conn : [%X:%X -->%X:%X]\n", entry.ulSrcIp, entry.usSrcPort,
                entry.ulDstIp, entry.usDstPort);
    return result;
}

int zoltNat_DoConnRecovery(void)
{
    return recover_connections(kSocketList);
}

} // extern "C"
