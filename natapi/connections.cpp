// The engine's connection table: the listing commands, the table fetches and
// the printer of connection entries.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdio>

#include "agapi.h"
#include "natapi/exchange.h"
#include "platform/heap_buffer.h"

using namespace arnonat::natapi;
using arnonat::HeapBuffer;

static_assert(sizeof(ConnTblEntry) == 92);
static_assert(offsetof(ConnTblEntry, sId) == 8);
static_assert(offsetof(ConnTblEntry, sAlgId) == 10);
static_assert(offsetof(ConnTblEntry, usServerSpiLow) == 12);
static_assert(offsetof(ConnTblEntry, ulSrcIp) == 16);
static_assert(offsetof(ConnTblEntry, ulDstIp) == 20);
static_assert(offsetof(ConnTblEntry, ulNatIp) == 24);
static_assert(offsetof(ConnTblEntry, ulTimestamp) == 28);
static_assert(offsetof(ConnTblEntry, usSrcPort) == 32);
static_assert(offsetof(ConnTblEntry, usDstPort) == 34);
static_assert(offsetof(ConnTblEntry, usNatPort) == 36);
static_assert(offsetof(ConnTblEntry, bProtocol) == 38);
static_assert(offsetof(ConnTblEntry, bStateNatType) == 39);
static_assert(offsetof(ConnTblEntry, bDirection) == 40);
static_assert(offsetof(ConnTblEntry, ulTimeout) == 44);
static_assert(offsetof(ConnTblEntry, ulOutRoute) == 48);
static_assert(offsetof(ConnTblEntry, ulInRoute) == 52);
static_assert(offsetof(ConnTblEntry, sPriority) == 60);

extern "C" const char *const g_ConnStateSym[AGAPI_CONN_STATES] = {
    "CONN_IS_CLEARED", "CONN_IS_CLOSED",  "CONN_IN_SYN",           "AG_CONN_IN_SYNACK",
    "CONN_IS_ESTAB",   "CONN_IS_CLOSING", "AG_CONN_IS_HALF_CLOSED",
};

namespace {

constexpr char kRule[] = "------------------------------------------------------------";
static_assert(sizeof kRule - 1 == 60);

// Fetch buffers: a count, room for 2048 entries and a third word.
constexpr size_t kFetchSizes[3] = {4, 2048 * sizeof(ConnTblEntry), 4};
static_assert(kFetchSizes[1] == 188416);

constexpr int kEsp = 50;

int listing(Command c)
{
    int result = exchange(c, 0);
    if (result == 1)
        std::printf("\n");
    return result;
}

// Both fetches send the three buffers and read nothing back.  The message
// is always cleared, so the engine never sees stale stack contents.
int fetch(Command c, const char *function)
{
    Channel channel(c);
    if (!channel) {
        report_open_failure(c);
        return 0;
    }
    AgIoctlMsg message{};
    HeapBuffer buffers[3];
    for (int i = 0; i < 3; ++i) {
        if (!buffers[i].allocate(kFetchSizes[i])) {
            std::printf("[%s]:malloc failed:%d\n", function, 0);
            return 0;
        }
        message.field[i] = address(buffers[i].get());
    }
    int result = channel.send(message);
    if (result < 0) {
        report_refusal(c, result);
        return -1;
    }
    return 1;
}

unsigned state_of(const ConnTblEntry &e)
{
    return e.bStateNatType & 0x0f;
}

unsigned nat_type_of(const ConnTblEntry &e)
{
    return e.bStateNatType >> 4;
}

unsigned direction_of(const ConnTblEntry &e)
{
    return e.bDirection & 0x0f;
}

const char *state_name(unsigned state)
{
    return state < AGAPI_CONN_STATES ? g_ConnStateSym[state] : "CONN_STATE_UNKNOWN";
}

// Dotted text of an address word held in network byte order.
struct Dotted {
    explicit Dotted(uint32_t address) { inet_ntop(AF_INET, &address, text, sizeof text); }
    char text[INET_ADDRSTRLEN] = {};
};

bool selected(const ConnTblEntry &e, int self, int direction, int nat2)
{
    if (state_of(e) == 0)
        return false;
    if (self != 0)
        return true;
    return static_cast<int>(direction_of(e)) == direction &&
           static_cast<int>(nat_type_of(e) == 2) == nat2;
}

void print_entry(const ConnTblEntry &e, int self)
{
    std::printf("Id: %5d, %s:%5u -> %s:%5u, state: %s\n", e.sId, Dotted(e.ulSrcIp).text,
                ntohs(e.usSrcPort), Dotted(e.ulDstIp).text, ntohs(e.usDstPort),
                state_name(state_of(e)));
    std::printf("protocol: %d, alg id: %d, timestamp %u, timeout %u, pri %d\n", e.bProtocol,
                e.sAlgId, e.ulTimestamp, e.ulTimeout, e.sPriority);
    const char *label = self != 0 ? ", self connection: " : "";
    const char *mark = self == 0 ? "" : direction_of(e) != 0 ? "Y" : "N";
    std::printf("nat type: %d (%s:%5u)%s%s, inbound route %x, outbound route %x\n",
                static_cast<int>(nat_type_of(e)), Dotted(e.ulNatIp).text, ntohs(e.usNatPort),
                label, mark, e.ulInRoute, e.ulOutRoute);
    if (e.bProtocol == kEsp)
        std::printf("Client SPI: 0x%04x %04x, Server SPI: 0x%04x %04x \n", ntohs(e.usSrcPort),
                    ntohs(e.usDstPort), ntohs(e.usNatPort), ntohs(e.usServerSpiLow));
}

void print_total(int printed)
{
    std::puts("Connection Table End");
    std::printf("Total %d connections.\n\n", printed);
}

} // namespace

extern "C" {

int agApi_natShowConn(void) { return listing(Command::natShowConn); }
int agApi_natShowConn_Tcp(void) { return listing(Command::natShowConn_Tcp); }
int agApi_natShowConn_Udp(void) { return listing(Command::natShowConn_Udp); }
int agApi_natShowConn_Icmp(void) { return listing(Command::natShowConn_Icmp); }
int agApi_natShowConn_Other(void) { return listing(Command::natShowConn_Other); }
int agApi_natShowConn_TcpIn(void) { return listing(Command::natShowConn_TcpIn); }
int agApi_natShowConn_TcpOut(void) { return listing(Command::natShowConn_TcpOut); }
int agApi_natShowConn_TcpSelf(void) { return listing(Command::natShowConn_TcpSelf); }
int agApi_natShowConn_UdpIn(void) { return listing(Command::natShowConn_UdpIn); }
int agApi_natShowConn_UdpOut(void) { return listing(Command::natShowConn_UdpOut); }
int agApi_natShowConn_UdpSelf(void) { return listing(Command::natShowConn_UdpSelf); }
int agApi_natShowConn_IcmpIn(void) { return listing(Command::natShowConn_IcmpIn); }
int agApi_natShowConn_IcmpOut(void) { return listing(Command::natShowConn_IcmpOut); }
int agApi_natShowConn_IcmpSelf(void) { return listing(Command::natShowConn_IcmpSelf); }
int agApi_natShowConn_OtherIn(void) { return listing(Command::natShowConn_OtherIn); }
int agApi_natShowConn_OtherOut(void) { return listing(Command::natShowConn_OtherOut); }
int agApi_natShowConn_OtherSelf(void) { return listing(Command::natShowConn_OtherSelf); }

int agApi_natShowConn_Port(int32_t port)
{
    int result = exchange(Command::natShowConn_Port, address(&port));
    if (result == 1)
        std::printf("\n");
    return result;
}

int agApi_natDumpConnTbl(void)
{
    return fetch(Command::natDumpConnTbl, "agApi_natDumpConnTbl");
}

int agApi_fwConnTblShow(void)
{
    return fetch(Command::fwConnTblShow, "agApi_fwConnTblShow");
}

void zoltNat_ShowTimeout(int32_t now)
{
    std::printf("\nTCP time out: %d\n", 1800);
    std::printf("UDP time out: %d\n", 300);
    std::printf("ICMP time out: %d\n", 60);
    std::printf("ESP time out: %d\n", 480);
    std::printf("Current time: %d\n", static_cast<int>(now));
    std::puts("Connection Table Begin");
    std::puts(kRule);
}

void zoltNat_ShowConnTable(const ConnTblEntry *entries, int count, int self, int direction,
                           int nat2)
{
    if (count > 0 && !entries) {
        std::printf("[zoltNat_ShowConnTable]:no entries given for %d connections\n", count);
        count = 0;
    }
    int printed = 0;
    for (int i = 0; i < count; ++i) {
        if (!selected(entries[i], self, direction, nat2))
            continue;
        print_entry(entries[i], self);
        ++printed;
        std::puts(kRule);
    }
    print_total(printed);
}

} // extern "C"
