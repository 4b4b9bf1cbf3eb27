// The connection table: the printer of connection entries byte for byte,
// handing an entry over, and recovery of the router's own connections from
// the kernel's socket list.
#include <arpa/inet.h>

#include "natapi/library_test.h"

namespace {

using namespace natapi_test;

const std::string kNone = "Connection Table End\nTotal 0 connections.\n\n";

// An established TCP connection from 192.168.1.10:51000 to 93.184.216.34:443.
ConnTblEntry tcp_entry(int16_t id = 7, uint8_t state_nat = 0x14, uint8_t direction = 0x02)
{
    return {.sId = id, .sAlgId = -1, .ulSrcIp = inet_addr("192.168.1.10"), .ulDstIp = inet_addr("93.184.216.34"),
            .ulNatIp = inet_addr("203.0.113.5"), .ulTimestamp = 4000000000u, .usSrcPort = htons(51000),
            .usDstPort = htons(443), .usNatPort = htons(61000), .bProtocol = 6, .bStateNatType = state_nat,
            .bDirection = direction, .ulTimeout = 1800, .ulOutRoute = 0xc0a80101, .ulInRoute = 0x1f, .sPriority = -3};
}

std::string shown(const std::vector<ConnTblEntry> &entries, int count, int self, int direction, int nat2)
{
    return printed([&] { zoltNat_ShowConnTable(entries.empty() ? nullptr : entries.data(), count, self, direction, nat2); });
}

TEST_F(EngineTest, HeaderTcpAndEspEntriesPrintedByteForByte)
{
    EXPECT_EQ(printed([] { zoltNat_ShowTimeout(-12); }),
              "\nTCP time out: 1800\nUDP time out: 300\nICMP time out: 60\n"
              "ESP time out: 480\nCurrent time: -12\nConnection Table Begin\n" + kDashes);
    ConnTblEntry esp = tcp_entry(12);
    esp.bProtocol = 50;
    esp.usSrcPort = htons(0x1234), esp.usDstPort = htons(0xabcd), esp.usNatPort = htons(0x42);
    esp.usServerSpiLow = htons(0xff);
    EXPECT_EQ(shown({tcp_entry(), esp}, 2, 0, 2, 0),
              "Id:     7, 192.168.1.10:51000 -> 93.184.216.34:  443, state: CONN_IS_ESTAB\n"
              "protocol: 6, alg id: -1, timestamp 4000000000, timeout 1800, pri -3\n"
              "nat type: 1 (203.0.113.5:61000), inbound route 1f, outbound route c0a80101\n" + kDashes +
                  "Id:    12, 192.168.1.10: 4660 -> 93.184.216.34:43981, state: CONN_IS_ESTAB\n"
                  "protocol: 50, alg id: -1, timestamp 4000000000, timeout 1800, pri -3\n"
                  "nat type: 1 (203.0.113.5:   66), inbound route 1f, outbound route c0a80101\n"
                  "Client SPI: 0x1234 abcd, Server SPI: 0x0042 00ff \n" + kDashes +
                  "Connection Table End\nTotal 2 connections.\n\n");
}

TEST_F(EngineTest, ListingsSelectByStateSelfDirectionAndNatTypeTwo)
{
    const std::vector<ConnTblEntry> entries = {
        tcp_entry(1, 0x14, 0x02), // direction 2, NAT type 1
        tcp_entry(2, 0x11, 0x01), // direction 1, closed
        tcp_entry(3, 0x24, 0x02), // direction 2, NAT type 2
        tcp_entry(4, 0x04, 0x32), // direction 2 under other bits, NAT type 0
        tcp_entry(5, 0x20, 0x02), // no state: never printed
        tcp_entry(6, 0x24, 0x00),
    };
    // Self, direction, NAT type two: the ids listed.
    const std::pair<std::array<int, 3>, std::string> listings[] = {
        {{0, 2, 0}, "1 4 "}, {{0, 2, 1}, "3 "}, {{0, 1, 0}, "2 "}, {{0, 1, 1}, ""}, {{1, 9, 1}, "1 2 3 4 6 "}};
    for (const auto &[how, ids] : listings) {
        std::string listing = shown(entries, 6, how[0], how[1], how[2]), found;
        for (size_t at = listing.find("Id: "); at != std::string::npos; at = listing.find("Id: ", at + 1))
            found += std::to_string(std::stoi(listing.substr(at + 4, 5))) + " ";
        EXPECT_EQ(found, ids) << how[0] << how[1] << how[2];
    }
    std::string self = shown(entries, 6, 1, 9, 1);
    EXPECT_NE(self.find("nat type: 1 (203.0.113.5:61000), self connection: Y, inbound route 1f"), std::string::npos);
    EXPECT_NE(self.find("nat type: 2 (203.0.113.5:61000), self connection: N, inbound route 1f"), std::string::npos);
    EXPECT_NE(self.find("Total 5 connections.\n\n"), std::string::npos);
    // Nothing to print, and a missing table told, not read.
    EXPECT_EQ(shown(entries, 0, 0, 2, 0) + shown(entries, -3, 1, 0, 0), kNone + kNone);
    EXPECT_EQ(shown({}, 5, 1, 0, 0), "[zoltNat_ShowConnTable]:no entries given for 5 connections\n" + kNone);
    // The state names (the exported table), unknown past them.
    std::string states;
    for (uint8_t state = 1; state < 9; ++state) {
        std::string listing = shown({tcp_entry(1, state, 1)}, 1, 1, 0, 0);
        states += listing.substr(listing.find("state: ") + 7, listing.find('\n') - listing.find("state: ") - 6);
    }
    EXPECT_EQ(states, "CONN_IS_CLOSED\nCONN_IN_SYN\nAG_CONN_IN_SYNACK\nCONN_IS_ESTAB\nCONN_IS_CLOSING\n"
                      "AG_CONN_IS_HALF_CLOSED\nCONN_STATE_UNKNOWN\nCONN_STATE_UNKNOWN\n");
}

TEST_F(EngineTest, AddedEntryReachesTheEngineWholeAndIsPrintedAsStored)
{
    ConnTblEntry e = tcp_entry();
    // Words as they lie in memory on the little-endian router.
    EXPECT_EQ(run([&] { return agApi_natAddConnTblEntry(e); }),
              (Outcome{"agApi_natAddConnTblEntryadd Conn : [A01A8C0:38C7 -->22D8B85D:BB01]\n", 0}));
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(only_call().record), only_call().record_len), bytes(e));
    EXPECT_EQ(zoltNat_isLegalConn(e), 1);
    ConnTblEntry no_source = e, no_destination = e, no_source_port = e, no_destination_port = e;
    no_source.ulSrcIp = no_destination.ulDstIp = no_source_port.usSrcPort = no_destination_port.usDstPort = 0;
    for (const ConnTblEntry &missing : {no_source, no_destination, no_source_port, no_destination_port})
        EXPECT_EQ(zoltNat_isLegalConn(missing), 0);
}

// ---- Recovery ------------------------------------------------------------

// The entry recovery makes of an established socket: the remote end is the
// source, the router's end the destination; nothing else is set.
ConnTblEntry recovered(const char *remote, uint16_t remote_port, const char *local, uint16_t local_port)
{
    return {.ulSrcIp = inet_addr(remote), .ulDstIp = inet_addr(local), .usSrcPort = htons(remote_port),
            .usDstPort = htons(local_port), .bProtocol = 6};
}

std::string line(const std::string &local, const std::string &remote, const std::string &state)
{
    return "   2: " + local + " " + remote + " " + state +
           " 00000000:00000000 00:00000000 00000000     0        0 4712 1 0000000000000000 20 4 30 10 -1";
}

// Socket list lines as the kernel writes them: local 127.0.0.1:8080 and
// remote 127.0.0.1:40001 (0x9C41), established; and the same socket
// listening.
const std::string kEstablished = line("0100007F:1F90", "0100007F:9C41", "01");
const std::string kListening =
    "   0: 0100007F:1F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0"
    "        0 4710 1 0000000000000000 100 0 0 10 0";

TEST_F(EngineTest, OnlyEstablishedIpv4SocketsWithBothEndsBecomeEntries)
{
    const std::pair<std::string, int> rows[] = {
        {kEstablished, 1},
        {line("0100007F:1F90", "0100007F:9C42", "06"), 0}, // time-wait
        {line("0100007F:1F90", "00000000:9C41", "01"), 0}, // no remote address
        {line("0100007F:1F90", "0100007F:0000", "01"), 0}, // no remote port
        {line("0100007f:1f90", "0100007f:9c41", "01"), 1}, // lower-case digits
        {"   1: 0100007F:1F90 0100007F:9C41 01", 1},        // fields up to the state
        {"   1: 0100007F:1F90 0100007F:9C41", 0},           // no state
        {"  sl  local_address rem_address   st tx_queue rx_queue tr tm->when", 0},
        {line("0000000000000000FFFF00000100007F:1F90", "0100007F:9C41", "01"), 0}, // not IPv4
        {line(std::string(65, '1') + ":1F90", "0100007F:9C41", "01"), 0},
        {"", 0},
        {"1: :1F90 0100007F:9C41 01", 0},
        {line("0100007F:11F90", "0100007F:9C41", "01"), 1}, // a port keeps its low 16 bits
    };
    for (const auto &[text, usable] : rows) {
        ConnTblEntry e = filled<ConnTblEntry>(0xa5);
        EXPECT_EQ(zoltNat_ProcTcpToConnTbl(text.c_str(), &e), usable) << text;
        if (usable)
            EXPECT_EQ(bytes(e), bytes(recovered("127.0.0.1", 40001, "127.0.0.1", 8080))) << text;
    }
    // Nothing to read or nowhere to write.
    ConnTblEntry e;
    EXPECT_EQ(zoltNat_ProcTcpToConnTbl(nullptr, &e), 0);
    EXPECT_EQ(bytes(e), bytes(ConnTblEntry{}));
    EXPECT_EQ(zoltNat_ProcTcpToConnTbl(kEstablished.c_str(), nullptr), 0);
}

TEST_F(EngineTest, SocketListIsHandedOverLineByLine)
{
    // An overlong line whose tail reads like a socket line is passed over
    // whole; the last line needs no newline.
    std::string overlong = std::string(9000, ' ') + line("0200007F:0050", "0300007F:1234", "01");
    sandbox::socket_list("  sl  local_address rem_address   st\n" + kListening + "\n" + overlong + "\n" + kEstablished +
                         "\n" + line("0A01A8C0:0016", "6401A8C0:D431", "01"));
    EXPECT_EQ(printed(zoltNat_DoConnRecovery),
              "[zoltNat_DoConnRecovery]:socket line longer than 8191 bytes passed over\n"
              "agApi_natAddConnTblEntryadd Conn : [100007F:419C -->100007F:901F]\n"
              "agApi_natAddConnTblEntryadd Conn : [6401A8C0:31D4 -->A01A8C0:1600]\n");
    ASSERT_EQ(natsim_log_size(), 2u); // the entry handed over as read
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(natsim_log_entry(1)->record), sizeof(ConnTblEntry)),
              bytes(recovered("192.168.1.100", 54321, "192.168.1.10", 22)));

    natsim_reset();
    sandbox::socket_list("", true);
    EXPECT_EQ(printed(zoltNat_DoConnRecovery), "zoltNat_DoConnRecovery5915 : file /proc/net/tcp open error \n");
    EXPECT_EQ(natsim_log_size(), 0u);
}

} // namespace
