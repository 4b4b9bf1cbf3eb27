// The connection table's command functions, with the entry and socket lines
// the tests hand them.  Shared by the simulator and kernel device tests.
#pragma once

#include <arpa/inet.h>

#include <string>
#include <vector>

#include "agapi.h"
#include "natapi/command_table.h"

namespace natapi_test {

struct ConnFunction {
    std::string name;
    arnonat::natapi::Command command;
    int (*call)();
};

inline std::vector<ConnFunction> connection_functions()
{
    using arnonat::natapi::Command;
    return {
        {"agApi_natShowConn", Command::natShowConn, agApi_natShowConn},
        {"agApi_natShowConn_Tcp", Command::natShowConn_Tcp, agApi_natShowConn_Tcp},
        {"agApi_natShowConn_Udp", Command::natShowConn_Udp, agApi_natShowConn_Udp},
        {"agApi_natShowConn_Icmp", Command::natShowConn_Icmp, agApi_natShowConn_Icmp},
        {"agApi_natShowConn_Other", Command::natShowConn_Other, agApi_natShowConn_Other},
        {"agApi_natShowConn_TcpIn", Command::natShowConn_TcpIn, agApi_natShowConn_TcpIn},
        {"agApi_natShowConn_TcpOut", Command::natShowConn_TcpOut, agApi_natShowConn_TcpOut},
        {"agApi_natShowConn_TcpSelf", Command::natShowConn_TcpSelf, agApi_natShowConn_TcpSelf},
        {"agApi_natShowConn_UdpIn", Command::natShowConn_UdpIn, agApi_natShowConn_UdpIn},
        {"agApi_natShowConn_UdpOut", Command::natShowConn_UdpOut, agApi_natShowConn_UdpOut},
        {"agApi_natShowConn_UdpSelf", Command::natShowConn_UdpSelf, agApi_natShowConn_UdpSelf},
        {"agApi_natShowConn_IcmpIn", Command::natShowConn_IcmpIn, agApi_natShowConn_IcmpIn},
        {"agApi_natShowConn_IcmpOut", Command::natShowConn_IcmpOut, agApi_natShowConn_IcmpOut},
        {"agApi_natShowConn_IcmpSelf", Command::natShowConn_IcmpSelf, agApi_natShowConn_IcmpSelf},
        {"agApi_natShowConn_OtherIn", Command::natShowConn_OtherIn, agApi_natShowConn_OtherIn},
        {"agApi_natShowConn_OtherOut", Command::natShowConn_OtherOut, agApi_natShowConn_OtherOut},
        {"agApi_natShowConn_OtherSelf", Command::natShowConn_OtherSelf, agApi_natShowConn_OtherSelf},
        {"agApi_natShowConn_Port", Command::natShowConn_Port, [] { return agApi_natShowConn_Port(8080); }},
        {"agApi_natDumpConnTbl", Command::natDumpConnTbl, agApi_natDumpConnTbl},
        {"agApi_fwConnTblShow", Command::fwConnTblShow, agApi_fwConnTblShow},
    };
}

// An established TCP connection from 192.168.1.10:51000 to 93.184.216.34:443.
inline ConnTblEntry tcp_entry()
{
    ConnTblEntry e{};
    e.sId = 7;
    e.sAlgId = -1;
    e.ulSrcIp = inet_addr("192.168.1.10");
    e.ulDstIp = inet_addr("93.184.216.34");
    e.ulNatIp = inet_addr("203.0.113.5");
    e.ulTimestamp = 4000000000u;
    e.usSrcPort = htons(51000);
    e.usDstPort = htons(443);
    e.usNatPort = htons(61000);
    e.bProtocol = 6;
    e.bStateNatType = 0x14; // NAT type 1, established
    e.bDirection = 0x02;
    e.ulTimeout = 1800;
    e.ulOutRoute = 0xc0a80101;
    e.ulInRoute = 0x1f;
    e.sPriority = -3;
    return e;
}

// Socket list lines: local 127.0.0.1:8080 and remote 127.0.0.1:40001
// (0x9C41), established; and the same socket listening.
inline const std::string kEstablishedLine =
    "   1: 0100007F:1F90 0100007F:9C41 01 00000000:00000000 00:00000000 00000000     0"
    "        0 4711 1 0000000000000000 20 4 30 10 -1";
inline const std::string kListeningLine =
    "   0: 0100007F:1F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0"
    "        0 4710 1 0000000000000000 100 0 0 10 0";

} // namespace natapi_test
