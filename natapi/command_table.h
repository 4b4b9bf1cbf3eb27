// Every command the library sends to the NAT engine, one row per exported
// function: its command number, direction, device, argument form and result
// class.  A wrong code is a one-row change here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace arnonat::natapi {

enum class Direction : uint8_t { Read = 2, Write = 1 };
enum class Device : uint8_t { Nat, Ipv6 };
// Zero: the value 0; Value: the caller's 32-bit argument (or the address of
// its variable); Record: address of one record; Message: an AgIoctlMsg;
// Vector: an AgArgVec.
enum class Form : uint8_t { Zero, Value, Record, Message, Vector };
enum class ResultClass : uint8_t { S, Q, D, X };

struct CommandRow {
    const char *function; // the exported function, as its messages name it
    uint8_t number;
    Direction direction;
    Device device;
    Form form;
    ResultClass result;
};

// The commands, one row each: COMMAND(function, number, direction, device,
// form, result class), FUNCTION being the exported function without
// "agApi_".
// The enum Command and the table kCommands are both made from this list.
#define ARNONAT_COMMANDS(COMMAND)                                         \
    COMMAND(natEnable, 0x00, Read, Nat, Zero, S)                          \
    COMMAND(natDisable, 0x01, Read, Nat, Zero, S)                         \
    COMMAND(natGetStatus, 0x02, Read, Nat, Record, S)                     \
    COMMAND(natDumpAlgTbl, 0x05, Read, Nat, Message, S)                   \
    COMMAND(natVerShow, 0x06, Read, Nat, Record, S)                       \
    COMMAND(natHook, 0x25, Read, Nat, Message, S)                         \
    COMMAND(natLanHook, 0x26, Read, Nat, Message, S)                      \
    COMMAND(natUnhook, 0x27, Read, Nat, Message, S)                       \
    COMMAND(natPptpWanHook, 0x48, Read, Nat, Message, S)                  \
    COMMAND(natWanIfCnt, 0x6D, Read, Nat, Value, S)                       \
    COMMAND(natSipAlgCfg, 0x97, Read, Nat, Value, S)                      \
    COMMAND(setAlg, 0x9A, Read, Nat, Message, S)                          \
    COMMAND(natLanUnhook, 0xAD, Read, Nat, Message, S)                    \
    COMMAND(natDumpRuleTbl, 0x04, Read, Nat, Message, S)                  \
    COMMAND(natRuleAdd, 0x07, Read, Nat, Vector, S)                       \
    COMMAND(natRuleDel, 0x08, Read, Nat, Value, S)                        \
    COMMAND(natRuleClear, 0x09, Read, Nat, Zero, S)                       \
    COMMAND(natRuleGet, 0x0A, Read, Nat, Message, S)                      \
    COMMAND(zoltGetNatRuleByID, 0x0A, Read, Nat, Message, X)              \
    COMMAND(natRuleAdd2, 0x28, Read, Nat, Vector, X)                      \
    COMMAND(natRuleMod, 0x2A, Read, Nat, Message, Q)                      \
    COMMAND(natRulePortCheck, 0x5F, Read, Nat, Vector, X)                 \
    COMMAND(natRuleAddForUpnp, 0x92, Read, Nat, Vector, X)                \
    COMMAND(natDumpConnTbl, 0x03, Read, Nat, Message, S)                  \
    COMMAND(fwConnTblShow, 0x21, Read, Nat, Message, S)                   \
    COMMAND(natAddConnTblEntry, 0x47, Write, Nat, Record, X)              \
    COMMAND(natShowConn, 0x4E, Read, Nat, Zero, S)                        \
    COMMAND(natShowConn_Tcp, 0x4F, Read, Nat, Zero, S)                    \
    COMMAND(natShowConn_Udp, 0x50, Read, Nat, Zero, S)                    \
    COMMAND(natShowConn_Icmp, 0x51, Read, Nat, Zero, S)                   \
    COMMAND(natShowConn_Other, 0x52, Read, Nat, Zero, S)                  \
    COMMAND(natShowConn_TcpIn, 0x53, Read, Nat, Zero, S)                  \
    COMMAND(natShowConn_TcpOut, 0x54, Read, Nat, Zero, S)                 \
    COMMAND(natShowConn_TcpSelf, 0x55, Read, Nat, Zero, S)                \
    COMMAND(natShowConn_UdpIn, 0x56, Read, Nat, Zero, S)                  \
    COMMAND(natShowConn_UdpOut, 0x57, Read, Nat, Zero, S)                 \
    COMMAND(natShowConn_UdpSelf, 0x58, Read, Nat, Zero, S)                \
    COMMAND(natShowConn_IcmpIn, 0x59, Read, Nat, Zero, S)                 \
    COMMAND(natShowConn_IcmpOut, 0x5A, Read, Nat, Zero, S)                \
    COMMAND(natShowConn_IcmpSelf, 0x5B, Read, Nat, Zero, S)               \
    COMMAND(natShowConn_OtherIn, 0x5C, Read, Nat, Zero, S)                \
    COMMAND(natShowConn_OtherOut, 0x5D, Read, Nat, Zero, S)               \
    COMMAND(natShowConn_OtherSelf, 0x5E, Read, Nat, Zero, S)              \
    COMMAND(natShowConn_Port, 0x60, Read, Nat, Record, S)                 \
    COMMAND(fwServiceList, 0x0B, Read, Nat, Message, X)                   \
    COMMAND(fwGetServiceByName, 0x0B, Read, Nat, Message, X)              \
    COMMAND(fwGetServiceName, 0x0B, Read, Nat, Message, X)                \
    COMMAND(fwGetAllServices, 0x0B, Read, Nat, Message, X)                \
    COMMAND(fwServiceAdd, 0x0C, Read, Nat, Message, X)                    \
    COMMAND(fwServiceDel, 0x0D, Read, Nat, Value, S)                      \
    COMMAND(fwServiceMod, 0x0E, Read, Nat, Message, S)                    \
    COMMAND(fwServiceDelByName, 0x29, Read, Nat, Value, Q)                \
    COMMAND(fwServiceGetCnt, 0x41, Read, Nat, Zero, D)                    \
    COMMAND(fwServiceGet, 0x42, Read, Nat, Message, D)                    \
    COMMAND(fwGetServiceByName_Session2, 0x7F, Read, Nat, Message, X)     \
    COMMAND(fwGetAllServices_Session2, 0x7F, Read, Nat, Message, X)       \
    COMMAND(fwServiceAdd_Session2, 0x80, Read, Nat, Message, X)           \
    COMMAND(fwServiceDel_Session2, 0x81, Read, Nat, Value, S)             \
    COMMAND(fwServiceDelByName_Session2, 0x82, Read, Nat, Value, Q)       \
    COMMAND(fwServiceMod_Session2, 0x83, Read, Nat, Message, S)           \
    COMMAND(fwServiceGet_Session2, 0x84, Read, Nat, Message, D)           \
    COMMAND(fwServiceGetCnt_Session2, 0x85, Read, Nat, Zero, D)           \
    COMMAND(fwFilterList, 0x0F, Read, Nat, Message, X)                    \
    COMMAND(fwGetFilterTable, 0x0F, Read, Nat, Message, X)                \
    COMMAND(fwFilterAdd, 0x10, Read, Nat, Message, X)                     \
    COMMAND(fwFilterDel, 0x11, Read, Nat, Value, S)                       \
    COMMAND(fwFilterMod, 0x12, Read, Nat, Message, S)                     \
    COMMAND(fwFilterMove, 0x13, Read, Nat, Message, S)                    \
    COMMAND(fwFilterSche, 0x14, Read, Nat, Message, S)                    \
    COMMAND(fwBlkServList, 0x15, Read, Nat, Message, X)                   \
    COMMAND(fwBlkServAdd, 0x16, Read, Nat, Message, S)                    \
    COMMAND(fwBlkServDel, 0x17, Read, Nat, Value, S)                      \
    COMMAND(fwBlkServMod, 0x18, Read, Nat, Message, S)                    \
    COMMAND(fwBlkServMode, 0x19, Read, Nat, Message, S)                   \
    COMMAND(fwFilterInsert, 0x2B, Read, Nat, Message, D)                  \
    COMMAND(fwBlkServGetCnt, 0x3E, Read, Nat, Zero, D)                    \
    COMMAND(fwBlkServGet, 0x3F, Read, Nat, Message, D)                    \
    COMMAND(fwBlkServModAction, 0x40, Read, Nat, Value, D)                \
    COMMAND(fwFilterGet, 0x43, Read, Nat, Message, D)                     \
    COMMAND(getFltrRuleCnt, 0x6C, Read, Nat, Value, Q)                    \
    COMMAND(fwGetFilterTable_Session2, 0x77, Read, Nat, Message, X)       \
    COMMAND(fwFilterGet_Session2, 0x78, Read, Nat, Message, D)            \
    COMMAND(fwFilterAdd_Session2, 0x79, Read, Nat, Message, X)            \
    COMMAND(fwFilterDel_Session2, 0x7A, Read, Nat, Value, S)              \
    COMMAND(fwFilterMod_Session2, 0x7B, Read, Nat, Message, S)            \
    COMMAND(fwFilterInsert_Session2, 0x7E, Read, Nat, Message, D)         \
    COMMAND(fwBlkServAdd_Session2, 0x87, Read, Nat, Message, S)           \
    COMMAND(fwBlkServGetCnt_Session2, 0x8B, Read, Nat, Zero, D)           \
    COMMAND(fwBlkServGet_Session2, 0x8C, Read, Nat, Message, D)           \
    COMMAND(fwBlkServModAction_Session2, 0x8D, Read, Nat, Value, D)       \
    COMMAND(fwGetTriggerConf, 0x2E, Read, Nat, Message, D)                \
    COMMAND(fwDelTriggerConf, 0x2F, Read, Nat, Message, D)                \
    COMMAND(fwTriggerConfStatusSet, 0x30, Read, Nat, Message, D)          \
    COMMAND(fwGetFirstTriggerConf, 0x31, Read, Nat, Message, D)           \
    COMMAND(fwGetNextTriggerConf, 0x32, Read, Nat, Message, D)            \
    COMMAND(fwDelTriggerConf2, 0x33, Read, Nat, Message, D)               \
    COMMAND(fwEchoRespSet, 0x1A, Read, Nat, Value, S)                     \
    COMMAND(fwEchoRespGet, 0x1B, Read, Nat, Value, S)                     \
    COMMAND(fwSpiStatusSet, 0x1C, Read, Nat, Value, S)                    \
    COMMAND(fwSpiStatusGet, 0x1D, Read, Nat, Value, S)                    \
    COMMAND(fwDMZStatusGet, 0x1E, Read, Nat, Message, S)                  \
    COMMAND(fwDMZRuleSet, 0x1F, Read, Nat, Message, S)                    \
    COMMAND(fwRuleSave, 0x20, Read, Nat, Zero, S)                         \
    COMMAND(fwStatusSet, 0x22, Read, Nat, Value, S)                       \
    COMMAND(fwStatusGet, 0x23, Read, Nat, Value, S)                       \
    COMMAND(natSetInboundFilter, 0x49, Read, Nat, Value, S)               \
    COMMAND(natSetWanLanConflictFlag, 0x4A, Read, Nat, Value, Q)          \
    COMMAND(natSetTrafficMeterFlag, 0x4B, Read, Nat, Value, Q)            \
    COMMAND(natSetTMHttpHijackFlag, 0x4B, Read, Nat, Value, Q)            \
    COMMAND(fwDosEnableGet, 0x64, Read, Nat, Value, S)                    \
    COMMAND(fwDosEnableSet, 0x65, Write, Nat, Value, S)                   \
    COMMAND(natAddDnsQryIp, 0x6E, Read, Nat, Message, X)                  \
    COMMAND(fwPolicyAdd, 0x6F, Read, Nat, Message, S)                     \
    COMMAND(fwSipStatusSet, 0x98, Read, Nat, Value, S)                    \
    COMMAND(fwSipStatusGet, 0x99, Read, Nat, Value, S)                    \
    COMMAND(fwUBDStatusSet, 0x9C, Read, Nat, Value, S)                    \
    COMMAND(natSetTMLimitCfg, 0xAB, Read, Nat, Message, S)                \
    COMMAND(natSetTMDnsRedirectFlag, 0xAF, Read, Nat, Value, Q)           \
    COMMAND(fwPolicyClear, 0xB3, Read, Nat, Zero, S)                      \
    COMMAND(fwURLFilterEnable, 0x34, Read, Nat, Value, D)                 \
    COMMAND(fwURLFilterEnableTmSch, 0x35, Read, Nat, Value, D)            \
    COMMAND(fwURLFilterSetTrustedIp, 0x36, Read, Nat, Value, D)           \
    COMMAND(fwURLFilterAddKeyword, 0x37, Read, Nat, Message, D)           \
    COMMAND(fwURLFilterDelKeyword, 0x38, Read, Nat, Message, D)           \
    COMMAND(fwURLFilterDelAllKeywords, 0x39, Read, Nat, Zero, D)          \
    COMMAND(tmschAddConf, 0x3A, Read, Nat, Message, D)                    \
    COMMAND(tmschDelConf, 0x3B, Read, Nat, Message, D)                    \
    COMMAND(tmschGetStatusByName, 0x3C, Read, Nat, Message, D)            \
    COMMAND(fwURLFilterEnable_Session2, 0x72, Read, Nat, Value, D)        \
    COMMAND(fwURLFilterAddKeyword_Session2, 0x74, Read, Nat, Message, D)  \
    COMMAND(fwURLFilterDelKeyword_Session2, 0x75, Read, Nat, Message, D)  \
    COMMAND(fwURLFilterDelAllKeywords_Session2, 0x76, Read, Nat, Zero, D) \
    COMMAND(fwURLFilterEnableTmSch_Session2, 0x8E, Read, Nat, Value, D)   \
    COMMAND(tmschAddConf_Session2, 0x8F, Read, Nat, Message, D)           \
    COMMAND(tmschDelConf_Session2, 0x90, Read, Nat, Message, D)           \
    COMMAND(tmschGetStatusByName_Session2, 0x91, Read, Nat, Message, D)   \
    COMMAND(enableQoS, 0x4C, Read, Nat, Value, Q)                         \
    COMMAND(AddQoSRule, 0x4D, Read, Nat, Message, Q)                      \
    COMMAND(cleanQoSRule, 0x96, Write, Nat, Zero, Q)                      \
    COMMAND(SetDayLightSaving, 0x61, Read, Nat, Value, Q)                 \
    COMMAND(natSetRegion, 0x9F, Read, Nat, Message, X)                    \
    COMMAND(natSetTarnivalName, 0xAA, Write, Nat, Message, X)             \
    COMMAND(clear_nat_for_httpd, 0xAC, Read, Nat, Zero, D)                \
    COMMAND(fwSuccessPageHijack, 0xB0, Read, Nat, Value, D)               \
    COMMAND(feature_get, 0xB1, Read, Nat, Value, X)                       \
    COMMAND(feature_set, 0xB2, Read, Nat, Value, X)                       \
    COMMAND(cleanup_ctf_entry, 0xB4, Read, Nat, Value, X)                 \
    COMMAND(ipv6_set_firewall, 0x07, Read, Ipv6, Message, X)              \
    COMMAND(ipv6_set_listen_port, 0x08, Read, Ipv6, Message, X)           \
    COMMAND(fwListenPortList, 0x24, Read, Nat, Message, S)                \
    COMMAND(fwListenPortList2, 0x24, Read, Nat, Value, S)                 \
    COMMAND(setDeviceListenPort_2, 0x3D, Read, Nat, Message, X)           \
    COMMAND(setDeviceListenPortRange, 0x6A, Write, Nat, Message, X)

enum class Command : uint16_t {
#define ARNONAT_COMMAND_NAME(function, number, direction, device, form, result) function,
    ARNONAT_COMMANDS(ARNONAT_COMMAND_NAME)
#undef ARNONAT_COMMAND_NAME
    Count
};

inline constexpr CommandRow kCommands[] = {
#define ARNONAT_COMMAND_ROW(function, number, direction, device, form, result)                                \
    {"agApi_" #function, number, Direction::direction, Device::device, Form::form, ResultClass::result},
    ARNONAT_COMMANDS(ARNONAT_COMMAND_ROW)
#undef ARNONAT_COMMAND_ROW
};

static_assert(sizeof kCommands / sizeof kCommands[0] == static_cast<size_t>(Command::Count),
              "one command row per function");

inline constexpr uint8_t kNatTypeByte = 0x64;  // 'd'
inline constexpr uint8_t kIpv6TypeByte = 0x65; // 'e'

// The engine's argument size field is 4 for every command, whatever the
// argument really is.
constexpr uint32_t command_code(const CommandRow &row)
{
    uint32_t type = row.device == Device::Nat ? kNatTypeByte : kIpv6TypeByte;
    return (static_cast<uint32_t>(row.direction) << 30) | (4u << 16) | (type << 8) | row.number;
}

constexpr const CommandRow &row(Command c)
{
    return kCommands[static_cast<size_t>(c)];
}

constexpr uint32_t code(Command c)
{
    return command_code(row(c));
}

// Five commands, and only five, use the write direction.
constexpr size_t write_commands()
{
    size_t n = 0;
    for (const CommandRow &r : kCommands)
        n += r.direction == Direction::Write;
    return n;
}
static_assert(write_commands() == 5);

} // namespace arnonat::natapi
