// The connection table: listing commands and fetches as the engine receives
// them, the connection printer byte for byte, and handing entries over.
#include "natapi/connections_functions.h"
#include "natapi/engine_test.h"

namespace {

using namespace natapi_test;
using arnonat::natapi::code;
using arnonat::natapi::Command;

const std::string kRule = std::string(60, '-') + "\n";
const std::string kNone = "Connection Table End\nTotal 0 connections.\n\n";

std::string printed(const ConnTblEntry *entries, int count, int self, int direction, int nat2)
{
    sandbox::StdoutCapture out;
    zoltNat_ShowConnTable(entries, count, self, direction, nat2);
    return out.finish();
}

// The ids of the entries a listing printed, in order.
std::vector<int> ids(const std::string &listing)
{
    std::vector<int> found;
    for (size_t at = listing.find("Id: "); at != std::string::npos; at = listing.find("Id: ", at + 1))
        found.push_back(std::stoi(listing.substr(at + 4, 5)));
    return found;
}

ConnTblEntry entry(int16_t id, uint8_t state_nat, uint8_t direction)
{
    ConnTblEntry e = tcp_entry();
    e.sId = id;
    e.bStateNatType = state_nat;
    e.bDirection = direction;
    return e;
}

TEST_F(EngineTest, ListingsAndFetchesSendTheirCommandAndPrintOnlyANewline)
{
    for (const ConnFunction &f : connection_functions()) {
        natsim_log_clear();
        sandbox::StdoutCapture out;
        EXPECT_EQ(f.call(), 1) << f.name;
        const natsim_call &c = only_call();
        EXPECT_EQ(c.code, code(f.command)) << f.name;
        bool fetch = f.command == Command::natDumpConnTbl || f.command == Command::fwConnTblShow;
        EXPECT_EQ(out.finish(), fetch ? "" : "\n") << f.name;
        if (f.command == Command::natShowConn_Port) {
            EXPECT_EQ(std::string(reinterpret_cast<const char *>(c.record), c.record_len),
                      bytes<int32_t>(8080));
        } else if (fetch) {
            // Three engine-written buffers; nothing else in the message.
            EXPECT_EQ(c.count, 0) << f.name;
            EXPECT_EQ(lengths(c, 4), (std::vector<uint32_t>(4, 0))) << f.name;
            EXPECT_NE(c.word[0] * c.word[1] * c.word[2], 0u) << f.name;
            EXPECT_EQ(c.word[3], 0u) << f.name;
        } else {
            EXPECT_EQ(c.arg, 0u) << f.name;
        }
    }
}

TEST_F(EngineTest, RefusedListingOrFetchNamesTheFunction)
{
    for (const ConnFunction &f : connection_functions()) {
        natsim_force_result(code(f.command), -5);
        sandbox::StdoutCapture out;
        EXPECT_EQ(f.call(), -1) << f.name;
        EXPECT_EQ(out.finish(), "[" + f.name + "]:ioctl_set_msg failed:-5\n");
    }
    // The engine refuses a port beyond 65535 on its own.
    natsim_reset();
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natShowConn_Port(70000), -1);
    EXPECT_EQ(out.finish(), "[agApi_natShowConn_Port]:ioctl_set_msg failed:-1\n");
}

TEST_F(EngineTest, ListingHeaderCarriesTheFixedTimeouts)
{
    sandbox::StdoutCapture out;
    zoltNat_ShowTimeout(-12);
    EXPECT_EQ(out.finish(), "\nTCP time out: 1800\nUDP time out: 300\nICMP time out: 60\n"
                            "ESP time out: 480\nCurrent time: -12\nConnection Table Begin\n" +
                                kRule);
}

TEST_F(EngineTest, TcpAndEspEntriesPrintedByteForByte)
{
    ConnTblEntry esp = tcp_entry();
    esp.sId = 12;
    esp.bProtocol = 50;
    esp.usSrcPort = htons(0x1234);
    esp.usDstPort = htons(0xabcd);
    esp.usNatPort = htons(0x0042);
    esp.usServerSpiLow = htons(0x00ff);
    const ConnTblEntry entries[] = {tcp_entry(), esp};
    EXPECT_EQ(printed(entries, 2, 0, 2, 0),
              "Id:     7, 192.168.1.10:51000 -> 93.184.216.34:  443, state: CONN_IS_ESTAB\n"
              "protocol: 6, alg id: -1, timestamp 4000000000, timeout 1800, pri -3\n"
              "nat type: 1 (203.0.113.5:61000), inbound route 1f, outbound route c0a80101\n" +
                  kRule +
                  "Id:    12, 192.168.1.10: 4660 -> 93.184.216.34:43981, state: CONN_IS_ESTAB\n"
                  "protocol: 50, alg id: -1, timestamp 4000000000, timeout 1800, pri -3\n"
                  "nat type: 1 (203.0.113.5:   66), inbound route 1f, outbound route c0a80101\n"
                  "Client SPI: 0x1234 abcd, Server SPI: 0x0042 00ff \n" +
                  kRule + "Connection Table End\nTotal 2 connections.\n\n");
}

TEST_F(EngineTest, SelfListingMarksEveryEntryWithAState)
{
    ConnTblEntry away = entry(3, 0x24, 0x00);
    ConnTblEntry cleared = entry(4, 0x20, 0x01);
    const ConnTblEntry entries[] = {entry(1, 0x11, 0x01), away, cleared};
    std::string listing = printed(entries, 3, 1, 9, 1);
    EXPECT_EQ(ids(listing), (std::vector<int>{1, 3}));
    EXPECT_NE(listing.find("state: CONN_IS_CLOSED\n"), std::string::npos);
    EXPECT_NE(listing.find("nat type: 1 (203.0.113.5:61000), self connection: Y, inbound route 1f"),
              std::string::npos);
    EXPECT_NE(listing.find("nat type: 2 (203.0.113.5:61000), self connection: N, inbound route 1f"),
              std::string::npos);
    EXPECT_NE(listing.find("Total 2 connections.\n\n"), std::string::npos);
}

TEST_F(EngineTest, OtherListingsSelectByDirectionAndNatTypeTwo)
{
    const ConnTblEntry entries[] = {
        entry(1, 0x14, 0x02), // direction 2, NAT type 1
        entry(2, 0x14, 0x01), // direction 1
        entry(3, 0x24, 0x02), // direction 2, NAT type 2
        entry(4, 0x04, 0x32), // direction 2 under other bits, NAT type 0
        entry(5, 0x20, 0x02), // no state: never printed
    };
    EXPECT_EQ(ids(printed(entries, 5, 0, 2, 0)), (std::vector<int>{1, 4}));
    EXPECT_EQ(ids(printed(entries, 5, 0, 2, 1)), (std::vector<int>{3}));
    EXPECT_EQ(ids(printed(entries, 5, 0, 1, 0)), (std::vector<int>{2}));
    EXPECT_EQ(ids(printed(entries, 5, 0, 1, 1)), (std::vector<int>{}));
    EXPECT_EQ(printed(entries, 5, 0, 2, 1).find("self connection"), std::string::npos);
}

TEST_F(EngineTest, NoEntriesPrintOnlyTheEnd)
{
    const ConnTblEntry one[] = {tcp_entry()};
    EXPECT_EQ(printed(one, 0, 0, 2, 0), kNone);
    EXPECT_EQ(printed(one, -3, 1, 0, 0), kNone);
    const ConnTblEntry cleared[] = {entry(1, 0x20, 0x02), entry(2, 0x00, 0x00)};
    EXPECT_EQ(printed(cleared, 2, 1, 0, 0), kNone);
    // A missing table is told, not read.
    EXPECT_EQ(printed(nullptr, 5, 1, 0, 0),
              "[zoltNat_ShowConnTable]:no entries given for 5 connections\n" + kNone);
}

TEST_F(EngineTest, StatesWithoutANameStayInsideTheTable)
{
    for (uint8_t state = 1; state < 16; ++state) {
        const ConnTblEntry e[] = {entry(1, state, 0x01)};
        std::string listing = printed(e, 1, 1, 0, 0);
        std::string name = state < 7 ? g_ConnStateSym[state] : "CONN_STATE_UNKNOWN";
        EXPECT_NE(listing.find(", state: " + name + "\n"), std::string::npos) << int(state);
    }
}

TEST_F(EngineTest, AddedEntryReachesTheEngineWholeAndIsPrintedAsStored)
{
    ConnTblEntry e = tcp_entry();
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natAddConnTblEntry(e), 0);
    // Words as they lie in memory on the little-endian router.
    EXPECT_EQ(out.finish(), "agApi_natAddConnTblEntryadd Conn : [A01A8C0:38C7 -->22D8B85D:BB01]\n");
    const natsim_call &c = only_call();
    EXPECT_EQ(c.code, 0x40046447u);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(c.record), c.record_len), bytes(e));

    // The engine's own answer is passed on; a refusal is -1.
    natsim_force_result(0x40046447, 3);
    sandbox::StdoutCapture answered;
    EXPECT_EQ(agApi_natAddConnTblEntry(e), 3);
    EXPECT_EQ(answered.finish(), "agApi_natAddConnTblEntryadd Conn : [A01A8C0:38C7 -->22D8B85D:BB01]\n");
    natsim_force_result(0x40046447, -5);
    sandbox::StdoutCapture refused;
    EXPECT_EQ(agApi_natAddConnTblEntry(e), -1);
    EXPECT_EQ(refused.finish(), "[agApi_natAddConnTblEntry]:ioctl_set_msg failed:-5\n");
}

TEST_F(EngineTest, LegalConnectionNeedsBothEndsAndPorts)
{
    EXPECT_EQ(zoltNat_isLegalConn(tcp_entry()), 1);
    for (int missing = 0; missing < 4; ++missing) {
        ConnTblEntry e = tcp_entry();
        if (missing == 0) e.ulSrcIp = 0;
        if (missing == 1) e.ulDstIp = 0;
        if (missing == 2) e.usSrcPort = 0;
        if (missing == 3) e.usDstPort = 0;
        EXPECT_EQ(zoltNat_isLegalConn(e), 0) << missing;
    }
}

} // namespace
