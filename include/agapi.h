/* NAT engine library: the messages exchanged with the engine's control
 * device, the listen ports and the engine's switches, policies, URL filter,
 * time schedules and platform settings.
 *
 * Every agApi_ call opens the device, sends one command and closes it again;
 * the library keeps nothing between calls.  Unless a function says
 * otherwise, results follow one of four classes:
 *   S  0 device not opened ("Can't open device file: ..."), -1 command
 *      refused ("[name]:ioctl_set_msg failed:..."), 1 done;
 *   Q  as S, without any message;
 *   D  0 device not opened, otherwise the engine's own answer (negative when
 *      it refused), without any message;
 *   X  as told beside the function.
 */
#ifndef AGAPI_H
#define AGAPI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Exported: the names declared here, and nothing else of the library. */
#pragma GCC visibility push(default)

#define AGAPI_NAT_DEVICE "/dev/zolt_nat_cli"
#define AGAPI_IPV6_DEVICE "/dev/spiv6"

/* Slots of a field message or an argument vector. */
#define AGAPI_MAX_FIELDS 32

/* Field message: up to 32 separately stored fields.  A field slot holds the
 * address of the field's data (a few commands put the value itself there).
 * The engine writes a negative status into COUNT for a few commands.
 * 260 bytes on the 32-bit router; slots are pointer-sized on wider hosts. */
typedef struct AgIoctlMsg {
    int32_t count;
    uint32_t length[AGAPI_MAX_FIELDS];
    uintptr_t field[AGAPI_MAX_FIELDS];
} AgIoctlMsg;

/* Argument vector: the words of a command line, as addresses of
 * NUL-terminated texts.  132 bytes on the 32-bit router. */
typedef struct AgArgVec {
    int32_t count;
    uintptr_t word[AGAPI_MAX_FIELDS];
} AgArgVec;

/* ---- Listen ports ---------------------------------------------------- */

/* Port index to the iptables chain that gets the port's rules.  The last
 * entry (index -1) ends the table and is the chain of every other index. */
typedef struct ListenPortMap {
    int32_t index;
    char chain[32];
} ListenPortMap;

#define AGAPI_LISTEN_PORT_MAPPINGS 4
extern const ListenPortMap listenPort_mapping[AGAPI_LISTEN_PORT_MAPPINGS];

/* The engine's listen port list holds at most this many entries. */
#define AGAPI_LISTEN_PORTS_MAX 16

/* Prints the engine's listen port list.  Class S; 0 when a buffer cannot be
 * allocated. */
int agApi_fwListenPortList(void);

/* Sends the list command with a message the caller built: field 0 a
 * 32-byte array of first ports, field 1 one of second ports, field 2 the
 * 32-bit entry count.  Class S. */
int agApi_fwListenPortList2(AgIoctlMsg *message);

/* Appends the ACCEPT lines of every listen port to the rules file PATH.
 * 1 done, 0 when the list could not be read or a buffer allocated (nothing
 * written), -1 (errno telling why) when the file cannot be opened or
 * written. */
int ARNONAT_GenerateListenPortRules(const char *path);

/* Opens (ENABLE 1) or closes the RIP ports 520 and 2601 in the firewall at
 * once.  Sends no engine command; returns 0. */
int agApi_setDeviceListenPort(int32_t port_index, int32_t port_number, int32_t enable);
int arnonat_addInputListenPort(int engine_result, int32_t port_index, int32_t port_number,
                               int32_t enable);

/* Tells the engine about a remote access port, then opens it in the
 * firewall to every source (SCOPE "all"), to FIRST_ADDRESS ("ip_single") or
 * to the range FIRST_ADDRESS-LAST_ADDRESS (any other scope), or closes it
 * (ENABLE not 1).  Returns 0 when the device cannot be opened, the negative
 * command result when the engine refuses the port (no firewall command is
 * run), otherwise the engine's result (its negative status when it wrote
 * one back). */
int agApi_setDeviceListenPort_2(int32_t port_index, int32_t port_number, int32_t enable,
                                const char *scope, const char *first_address,
                                const char *last_address);
/* The firewall commands of agApi_setDeviceListenPort_2 for one port.
 * Returns 0. */
int arnonat_addInputListenPort_2(int engine_result, int32_t port_index, int32_t port_number,
                                 int32_t enable, const char *scope, const char *first_address,
                                 const char *last_address);

/* Hands three values to the engine's listen port range command.  0 when the
 * device cannot be opened, the engine's negative status when it wrote one
 * back, otherwise the command result. */
int agApi_setDeviceListenPortRange(int32_t value1, int32_t value2, int32_t value3);

/* Room OUTPUT needs in ARNONAT_GenerateIPRangeRule. */
#define ARNONAT_IPRANGE_RULE_SIZE 55
/* Writes "-m iprange --src-range FIRST-LAST" into OUTPUT (at least
 * ARNONAT_IPRANGE_RULE_SIZE bytes), each address as a shell word.  UNUSED is
 * not looked at.  0 done; -1 with a notice and an empty OUTPUT when the text
 * would not fit or an address is missing. */
int ARNONAT_GenerateIPRangeRule(char *output, int unused, const char *first_address,
                                const char *last_address);

/* ---- Firewall switches and policies ---------------------------------- */

/* Set functions hand VALUE to the engine; Get functions hand it the address
 * of the caller's variable, untouched, and the engine writes there.  All
 * class S except where told. */
int agApi_fwEchoRespSet(int32_t value);
int agApi_fwEchoRespGet(int32_t *value);
int agApi_fwSpiStatusSet(int32_t value);
int agApi_fwSpiStatusGet(int32_t *value);
int agApi_fwDosEnableSet(int32_t value);
int agApi_fwDosEnableGet(int32_t *value);
int agApi_fwSipStatusSet(int32_t value);
int agApi_fwSipStatusGet(int32_t *value);
int agApi_fwUBDStatusSet(int32_t value);
int agApi_fwStatusSet(int32_t value);
int agApi_fwStatusGet(int32_t *value);
int agApi_natSetInboundFilter(int32_t value);
int agApi_fwRuleSave(void);
int agApi_fwPolicyClear(void);

/* Class Q. */
int agApi_natSetWanLanConflictFlag(int32_t value);
int agApi_natSetTrafficMeterFlag(int32_t value);
/* Sent on the traffic meter flag command as VALUE + 10; a value whose sum
 * would not fit in 32 bits is refused with a notice (-1, nothing sent). */
int agApi_natSetTMHttpHijackFlag(int32_t value);
int agApi_natSetTMDnsRedirectFlag(int32_t value);

/* DMZ rule: the engine's DMZ mode values and the host's IPv4 address in
 * network byte order. */
int agApi_fwDMZRuleSet(int32_t value1, int32_t value2, uint32_t host_address);
/* The engine fills both variables. */
int agApi_fwDMZStatusGet(int32_t *value1, int32_t *value2);

/* Traffic meter limits; the third value is 64-bit. */
int agApi_natSetTMLimitCfg(uint32_t value1, uint32_t value2, uint64_t value3, uint32_t value4);

/* Class S messages; 1 done, -1 refused, 0 device not opened. */
int agApi_natAddDnsQryIp(uint32_t address);

/* A null NAME is refused with a notice (-1, nothing sent). */
int agApi_fwPolicyAdd(uint8_t value1, const char *name, uint8_t value2, uint16_t value3,
                      uint16_t value4, uint32_t value5, uint32_t value6, uint8_t value7);

/* ---- URL filter and time schedules (class D) ------------------------- */

/* Texts are sent without their terminator; a null text is refused with a
 * notice (-1, nothing sent). */
int agApi_fwURLFilterEnable(int32_t value);
int agApi_fwURLFilterEnableTmSch(int32_t value);
int agApi_fwURLFilterSetTrustedIp(uint32_t address);
int agApi_fwURLFilterAddKeyword(const char *keyword);
int agApi_fwURLFilterDelKeyword(const char *keyword);
int agApi_fwURLFilterDelAllKeywords(void);
int agApi_tmschDelConf(const char *name);
/* The engine answers the schedule's status. */
int agApi_tmschGetStatusByName(const char *name);

/* Longest joined schedule text, with its terminator. */
#define AGAPI_SCHEDULE_TEXT_SIZE 100
/* Sends "T1:T2:T3:T4:T5" with three values.  A joined text longer than 99
 * bytes is refused with a notice (-1, nothing sent). */
int agApi_tmschAddConf(const char *text1, const char *text2, const char *text3,
                       const char *text4, const char *text5, int32_t value1, int32_t value2,
                       int32_t value3);

/* The same for the second WAN session. */
int agApi_fwURLFilterEnable_Session2(int32_t value);
int agApi_fwURLFilterEnableTmSch_Session2(int32_t value);
int agApi_fwURLFilterAddKeyword_Session2(const char *keyword);
int agApi_fwURLFilterDelKeyword_Session2(const char *keyword);
int agApi_fwURLFilterDelAllKeywords_Session2(void);
int agApi_tmschAddConf_Session2(const char *text1, const char *text2, const char *text3,
                                const char *text4, const char *text5, int32_t value1,
                                int32_t value2, int32_t value3);
int agApi_tmschDelConf_Session2(const char *name);
int agApi_tmschGetStatusByName_Session2(const char *name);

/* ---- Platform settings ------------------------------------------------ */

/* Class Q. */
int agApi_enableQoS(int32_t value);
int agApi_AddQoSRule(int32_t value1, int32_t value2, int32_t value3, int32_t value4);
int agApi_cleanQoSRule(void);
int agApi_SetDayLightSaving(int32_t value);

/* Class S, with "[agApi_natSetRegion]:IOCTL_AG_REGION_SET failed:..." when
 * refused.  A null text is refused with a notice (-1, nothing sent). */
int agApi_natSetRegion(const char *region);
int agApi_natSetTarnivalName(const char *name);

/* Class S, printing "Error doing IOCTL_AG_FEATURE_GET",
 * "Error doing IOCTL_AG_FEATURE_SET." or "Error doing
 * IOCTL_AG_CTF_ENTRY_CLEAR." when refused. */
int agApi_feature_get(int32_t *value);
int agApi_feature_set(int32_t value);
int agApi_cleanup_ctf_entry(int32_t value);

/* Class D. */
int agApi_fwSuccessPageHijack(int32_t value);
int agApi_clear_nat_for_httpd(void);

/* IPv6 firewall device: always 0.  A device that cannot be opened prints
 * "Can't open device file: /dev/spiv6"; a refused command prints nothing. */
int agApi_ipv6_set_firewall(int32_t value);
int agApi_ipv6_set_listen_port(int32_t value1, int32_t value2, int32_t value3, int32_t value4,
                               int32_t value5);

/* ---- Firewall service table ------------------------------------------ */

/* One named service of the engine: a protocol and a port range.  A service
 * for both TCP and UDP is held as two records, the second named with the
 * suffix "_zZz".  54 bytes; tables have a stride of 54 bytes. */
typedef struct FwServiceRecord {
    char sName[48];
    uint8_t bProtocol;
    uint8_t bReserved;
    uint16_t usStartPort;
    uint16_t usEndPort;
} FwServiceRecord;

/* Records a listing reads at most, and the least capacity of
 * agApi_fwGetAllServices. */
#define AGAPI_SERVICES_MAX 128

/* Prints the table.  0 device not opened or no buffer, -1 refused, 1 done. */
int agApi_fwServiceList(void);
/* Prints a diagnostic line, then adds.  The command's own result, -1 when
 * refused (with a message), 0 device not opened.  A null NAME is refused
 * with a notice (-1, nothing sent). */
int agApi_fwServiceAdd(const char *name, uint8_t protocol, uint16_t startPort, uint16_t endPort);
/* Class S. */
int agApi_fwServiceDel(int index);
int agApi_fwServiceMod(uint16_t index, const FwServiceRecord *record);
/* Class Q; the engine matches the name. */
int agApi_fwServiceDelByName(const char *name);
/* Class D. */
int agApi_fwServiceGetCnt(void);
int agApi_fwServiceGet(uint16_t index, FwServiceRecord *out);
/* Index of the first service named NAME, copied to OUT; -1 when absent,
 * when the device cannot be opened or when the engine refuses. */
int agApi_fwGetServiceByName(const char *name, FwServiceRecord *out);
/* 1 when a service has the protocol and ports (the last such one is copied
 * to OUT), 0 when none or device not opened, -1 refused. */
int agApi_fwGetServiceName(uint16_t startPort, uint16_t endPort, uint8_t protocol, FwServiceRecord *out);
/* Reads every record into ARRAY (at least AGAPI_SERVICES_MAX records);
 * the number read, 0 for a smaller capacity (with a message) or a missing
 * device, -1 with a message when the engine refuses.  Callers take anything
 * below 1 as an empty table. */
int agApi_fwGetAllServices(FwServiceRecord *array, int capacity);

/* The same on the second WAN session's table. */
int agApi_fwServiceAdd_Session2(const char *name, uint8_t protocol, uint16_t startPort, uint16_t endPort);
int agApi_fwServiceDel_Session2(int index);
int agApi_fwServiceDelByName_Session2(const char *name);
int agApi_fwServiceMod_Session2(uint16_t index, const FwServiceRecord *record);
int agApi_fwServiceGetCnt_Session2(void);
int agApi_fwServiceGet_Session2(uint16_t index, FwServiceRecord *out);
int agApi_fwGetServiceByName_Session2(const char *name, FwServiceRecord *out);
int agApi_fwGetAllServices_Session2(FwServiceRecord *array, int capacity);

/* ---- Firewall filter and block-service tables ------------------------ */

/* Flags of FwFilterRecord.bFlags. */
#define AGAPI_FILTER_SERVICE 0x01     /* usDstPortLow holds a service index */
#define AGAPI_FILTER_SOURCE 0x02      /* a source is given */
#define AGAPI_FILTER_SOURCE_RANGE 0x04 /* source is a range, else address and mask */
#define AGAPI_FILTER_DEST_RANGE 0x20  /* destination is a range */
#define AGAPI_FILTER_ON_MATCH 0x80    /* bMatchAction applies, else bNoMatchAction */
/* Flag of FwFilterRecord.bScheduleFlags. */
#define AGAPI_FILTER_SCHEDULED 0x01

/* One IP filter rule, 56 bytes.  Addresses are numbers whose most
 * significant byte is the first octet of the dotted form. */
typedef struct FwFilterRecord {
    uint8_t bRuleType;
    uint8_t bReserved1;
    uint16_t usScheduleIndex;
    uint16_t usIndex;
    uint8_t bDirection;
    uint8_t bReserved2;
    uint32_t ulSrcIp1;
    uint32_t ulSrcIp2;
    uint16_t usSrcPortLow;
    uint16_t usSrcPortHigh;
    uint32_t ulDstIp1;
    uint32_t ulDstIp2;
    uint16_t usDstPortLow;
    uint16_t usDstPortHigh;
    uint8_t bProtocol;
    uint8_t bFlags;
    uint8_t bScheduleFlags;
    uint8_t bMatchAction;
    uint8_t bNoMatchAction;
    uint8_t bEnable;
    uint8_t bReserved3[18];
} FwFilterRecord;

/* One block-service entry, 24 bytes. */
typedef struct FwBlkServRecord {
    uint32_t ulEnabled;
    uint16_t usServiceIndex;
    uint16_t usScheduleIndex; /* 0: no schedule */
    uint32_t ulAllSources;
    uint32_t ulIp1;
    uint32_t ulIp2;  /* last address of a range; 0: ulIp1 with ulMask */
    uint32_t ulMask;
} FwBlkServRecord;

/* Records a table read holds at most. */
#define AGAPI_FILTERS_MAX 65
#define AGAPI_BLOCK_SERVICES_MAX 128

/* Prints the filter table (records whose direction shares a bit with 255).
 * 0 device not opened or no buffer, -1 refused, 1 done. */
int agApi_fwFilterList(void);
/* Prints the COUNT records whose direction shares a bit with MASK, then the
 * total.  Returns 0. */
int DumpIpFilterRule(uint8_t mask, const FwFilterRecord *records, int count);
/* The number of filter records, copied to OUT unless it is null (OUT holds
 * at least that many).  0 on every failure, silently. */
int agApi_fwGetFilterTable(FwFilterRecord *out);
/* Class D. */
int agApi_fwFilterGet(int index, FwFilterRecord *out);
int agApi_fwFilterInsert(const FwFilterRecord *record, int index);
/* The command's result (silent when refused), 0 device not opened. */
int agApi_fwFilterAdd(const FwFilterRecord *record, int filter);
/* Class S. */
int agApi_fwFilterMod(int index, const FwFilterRecord *record);
int agApi_fwFilterDel(int index);
int agApi_fwFilterMove(int first, int second);
int agApi_fwFilterSche(int first, int second, uint16_t third);
/* Class Q; 0 for a null COUNTER without a command. */
int agApi_getFltrRuleCnt(int *counter);

/* Prints the block-service table; as agApi_fwFilterList. */
int agApi_fwBlkServList(void);
/* Prints the COUNT records.  Returns 0. */
int dumpBlockServList(int count, const FwBlkServRecord *records);
/* Class S. */
int agApi_fwBlkServAdd(const FwBlkServRecord *record);
int agApi_fwBlkServMod(uint16_t index, const FwBlkServRecord *record);
int agApi_fwBlkServDel(int index);
int agApi_fwBlkServMode(uint16_t first, uint16_t second, uint16_t third);
/* Class D. */
int agApi_fwBlkServGet(uint16_t index, FwBlkServRecord *out);
int agApi_fwBlkServGetCnt(void);
int agApi_fwBlkServModAction(int action);

/* The same on the second WAN session's tables. */
int agApi_fwGetFilterTable_Session2(FwFilterRecord *out);
int agApi_fwFilterGet_Session2(int index, FwFilterRecord *out);
int agApi_fwFilterAdd_Session2(const FwFilterRecord *record, int filter);
int agApi_fwFilterInsert_Session2(const FwFilterRecord *record, int index);
int agApi_fwFilterMod_Session2(int index, const FwFilterRecord *record);
int agApi_fwFilterDel_Session2(int index);
int agApi_fwBlkServAdd_Session2(const FwBlkServRecord *record);
int agApi_fwBlkServGet_Session2(uint16_t index, FwBlkServRecord *out);
int agApi_fwBlkServGetCnt_Session2(void);
int agApi_fwBlkServModAction_Session2(int action);

/* ---- Connection table ------------------------------------------------- */

/* One entry of the engine's connection table, 92 bytes.  Addresses and
 * ports are in network byte order.  For ESP entries (protocol 50) the port
 * words hold the SPIs: usSrcPort and usDstPort the client SPI, usNatPort and
 * usServerSpiLow the server SPI. */
typedef struct ConnTblEntry {
    uint8_t bReserved0[8];
    int16_t sId;
    int16_t sAlgId;
    uint16_t usServerSpiLow;
    uint8_t bReserved1[2];
    uint32_t ulSrcIp;
    uint32_t ulDstIp;
    uint32_t ulNatIp;
    uint32_t ulTimestamp;
    uint16_t usSrcPort;
    uint16_t usDstPort;
    uint16_t usNatPort;
    uint8_t bProtocol;
    uint8_t bStateNatType;  /* low four bits: state; high four bits: NAT type */
    uint8_t bDirection;     /* low four bits: direction code */
    uint8_t bReserved2[3];
    uint32_t ulTimeout;
    uint32_t ulOutRoute;
    uint32_t ulInRoute;
    uint8_t bReserved3[4];
    int16_t sPriority;
    uint8_t bReserved4[30];
} ConnTblEntry;

/* Names of the connection states 0 to 6.  The printer shows
 * "CONN_STATE_UNKNOWN" for the states 7 to 15, which have no name. */
#define AGAPI_CONN_STATES 7
extern const char *const g_ConnStateSym[AGAPI_CONN_STATES];

/* The engine lists its connections of one protocol and direction; the
 * library then prints one newline.  Class S. */
int agApi_natShowConn(void);
int agApi_natShowConn_Tcp(void);
int agApi_natShowConn_Udp(void);
int agApi_natShowConn_Icmp(void);
int agApi_natShowConn_Other(void);
int agApi_natShowConn_TcpIn(void);
int agApi_natShowConn_TcpOut(void);
int agApi_natShowConn_TcpSelf(void);
int agApi_natShowConn_UdpIn(void);
int agApi_natShowConn_UdpOut(void);
int agApi_natShowConn_UdpSelf(void);
int agApi_natShowConn_IcmpIn(void);
int agApi_natShowConn_IcmpOut(void);
int agApi_natShowConn_IcmpSelf(void);
int agApi_natShowConn_OtherIn(void);
int agApi_natShowConn_OtherOut(void);
int agApi_natShowConn_OtherSelf(void);
/* The connections of one port; the engine reads the value at its address. */
int agApi_natShowConn_Port(int32_t port);

/* Have the engine fill a count, the table (room for 2048 entries) and a
 * third word; the library reads none of them.  Class S; 0 when a buffer
 * cannot be allocated. */
int agApi_natDumpConnTbl(void);
int agApi_fwConnTblShow(void);

/* Listing header: the fixed timeouts and NOW. */
void zoltNat_ShowTimeout(int32_t now);
/* Prints the entries of ENTRIES[0..COUNT-1] that have a state.  With SELF 0
 * only entries of direction code DIRECTION whose NAT type being 2 (1 or 0)
 * equals NAT2; with SELF non-zero every entry, marked self or not.  Ends
 * with the total printed. */
void zoltNat_ShowConnTable(const ConnTblEntry *entries, int count, int self, int direction,
                           int nat2);

/* Hands ENTRY to the engine and prints it.  0 device not opened, -1 refused
 * ("[agApi_natAddConnTblEntry]:ioctl_set_msg failed:..."), else the engine's
 * answer. */
int agApi_natAddConnTblEntry(ConnTblEntry entry);
/* 1 when addresses and ports on both sides are non-zero. */
int zoltNat_isLegalConn(ConnTblEntry entry);
/* Fills ENTRY from one line of /proc/net/tcp: 1 for an established IPv4
 * socket with non-zero addresses and ports, else 0 (ENTRY then holds no
 * connection). */
int zoltNat_ProcTcpToConnTbl(const char *line, ConnTblEntry *entry);
/* Hands the engine one entry per established TCP socket of the router.
 * Returns 0. */
int zoltNat_DoConnRecovery(void);

/* ---- Port trigger configuration (class D) ----------------------------- */

/* A trigger configuration as the engine keeps it, 364 bytes.  The engine
 * knows a configuration by the NUL-terminated name at its start; the rest
 * is the engine's own. */
#define AGAPI_TRIGGER_CONF_SIZE 364
#define AGAPI_TRIGGER_NAME_SIZE 32
typedef struct FwTriggerConf {
    char sName[AGAPI_TRIGGER_NAME_SIZE];
    uint8_t bData[AGAPI_TRIGGER_CONF_SIZE - AGAPI_TRIGGER_NAME_SIZE];
} FwTriggerConf;

/* Sends nothing; returns 0. */
int agApi_fwSetTriggerConf(void);
/* The engine fills RECORD: the configuration named in it, the first one, or
 * the one after the one named in it.  A null record or name is refused with
 * a notice (-1, nothing sent). */
int agApi_fwGetTriggerConf(FwTriggerConf *record);
int agApi_fwGetFirstTriggerConf(FwTriggerConf *record);
int agApi_fwGetNextTriggerConf(FwTriggerConf *record);
int agApi_fwDelTriggerConf(const char *name);
int agApi_fwDelTriggerConf2(const FwTriggerConf *record);
int agApi_fwTriggerConfStatusSet(const char *name, int32_t status);

/* ---- NAT engine control ---------------------------------------------- */

/* Class S.  natEnable and natDisable print "NAT Enabled" or "NAT Disabled"
 * on success, natGetStatus prints "ON" or "OFF". */
int agApi_natEnable(void);
int agApi_natDisable(void);
int agApi_natGetStatus(void);
/* Stores 1 in *ENABLED when the setting enable_arnonat is "1", else 0, and
 * returns 1; never talks to the engine.  A null ENABLED gets a notice, -1. */
int agApi_NatIsEnabled(int32_t *enabled);

/* Hook NAT onto an interface, or take it off.  A null name is refused with
 * a notice (-1, nothing sent), except for the unhook functions, where null
 * sends the command with the value 0. */
int agApi_natHook(const char *ifname);
int agApi_natLanHook(const char *ifname);
int agApi_natPptpWanHook(const char *ifname);
int agApi_natUnhook(const char *ifname);
int agApi_natLanUnhook(const char *ifname);
int agApi_natSipAlgCfg(int32_t value);
int agApi_natWanIfCnt(int32_t value);
/* A null or empty NAME prints "agApi_setAlg input parameters error." and
 * returns 0 without talking to the engine. */
int agApi_setAlg(const char *name, int32_t value);
int agApi_natVerShow(void);

/* One entry of the engine's ALG table. */
#define AGAPI_ALG_NAME_SIZE 44
#define AGAPI_ALG_PAIRS 2
typedef struct AlgTblEntry {
    int32_t enabled;    /* non-zero: enabled */
    uint32_t dest_ip;   /* network order; 0: no address line in the dump */
    uint16_t pool_index;
    uint16_t reserved1;
    uint32_t src_ip;    /* network order */
    uint8_t reserved2[8];
    char name[AGAPI_ALG_NAME_SIZE];
    int32_t pair_count; /* pairs in use; at most AGAPI_ALG_PAIRS are stored */
    struct {
        uint8_t protocol;
        uint8_t reserved;
        uint16_t port;  /* printed as stored */
    } pairs[AGAPI_ALG_PAIRS];
} AlgTblEntry;
#define AGAPI_ALG_TABLE_ENTRIES 80

/* Prints the engine's ALG table.  Class S; 0 when the buffer cannot be
 * allocated. */
int agApi_natDumpAlgTbl(void);
/* Prints COUNT entries (none when COUNT is 0 or negative) and a closing
 * newline; returns the result of writing that newline. */
int Nat_DumpAlgTable(const AlgTblEntry *entries, int32_t count);

/* Brings the engine up with the router's default configuration: LAN "br0"
 * and the platform's NAT interface hooked, the default UDP forward rule,
 * DMZ host 192.168.1.200, SPI off, NAT on.  Every step runs; a failing one
 * is reported with its line.  Returns the result of agApi_natEnable. */
int agApi_natInit(void);

/* ---- NAT rule table --------------------------------------------------- */

/* One NAT rule as the engine keeps it: 48 bytes.  Addresses and ports are
 * in network order; id, wif, lif, time and timeout in host order. */
typedef struct NatRuleRecord {
    int32_t id;
    int32_t wif;
    int32_t lif;
    uint32_t wan_ip;   /* remote host, 0 for any */
    uint32_t lan_ip;   /* LAN server */
    uint32_t lan_mask;
    uint16_t fport1;   /* first forwarded (external) port */
    uint16_t fport2;   /* last forwarded port */
    uint16_t s_port;   /* server (internal) port */
    uint16_t reserved1;
    uint32_t time;
    uint16_t timeout;
    uint16_t reserved2;
    uint32_t ForeignIp;
    uint8_t flags_a;   /* bits 0-1 type, 2-3 resv, 4-7 nat */
    uint8_t flags_b;   /* bits 0-3 prot (0 TCP, 1 UDP, else all), 4 in use, 5 confl, 6 once */
    uint8_t add_from;
    uint8_t reserved3;
} NatRuleRecord;

#define AGAPI_NAT_RULE_TYPE(r) ((r)->flags_a & 0x3)
#define AGAPI_NAT_RULE_RESV(r) (((r)->flags_a >> 2) & 0x3)
#define AGAPI_NAT_RULE_NAT(r) (((r)->flags_a >> 4) & 0xf)
#define AGAPI_NAT_RULE_PROT(r) ((r)->flags_b & 0xf)
#define AGAPI_NAT_RULE_IN_USE(r) (((r)->flags_b >> 4) & 0x1)
#define AGAPI_NAT_RULE_CONFL(r) (((r)->flags_b >> 5) & 0x1)
#define AGAPI_NAT_RULE_ONCE(r) (((r)->flags_b >> 6) & 0x1)

/* The engine's table holds this many records (13440 bytes). */
#define AGAPI_NAT_RULES_MAX 280

/* Adding rules from the words of a command line (at most 32; more are
 * refused with a notice, -1, nothing sent).  natRuleAdd is class S.
 * natRuleAdd2, natRuleAddForUpnp and natRulePortCheck print nothing and
 * answer the engine's result, or, when it refused, the status the engine
 * wrote into the vector's count; with the device missing they answer 0
 * (natRulePortCheck -1).  natRuleAdd2 then applies the port forwarding
 * rule at once (ARNONAT_ExecuteOnePortForwardRule). */
int agApi_natRuleAdd(int argc, char *const argv[]);
int agApi_natRuleAdd2(int argc, char *const argv[]);
int agApi_natRuleAddForUpnp(int argc, char *const argv[]);
int agApi_natRulePortCheck(int argc, char *const argv[]);
/* Deletes the rule whose ID is ARGV[1] in decimal (0 when not a number);
 * without ARGV[1] nothing is sent (notice, -1).  Class S. */
int agApi_natRuleDel(int argc, char *const argv[]);
int agApi_natRuleClear(void);
/* Sends VALUE and the whole RULE; class Q.  A null RULE: notice, -1. */
int agApi_natRuleMod(int32_t value, const NatRuleRecord *rule);
/* Prints the in-use NAT rules (nat type 2).  Class S. */
int agApi_natRuleGet(void);
/* Prints the whole table with the engine's time.  Class S. */
int agApi_natDumpRuleTbl(void);

/* The in-use rule with ID, or null (device missing, engine refusal, no
 * memory, no such rule; nothing printed).  The record is a copy kept per
 * thread: it stays valid until the same thread's next call, and the
 * caller never frees it. */
const NatRuleRecord *agApi_zoltGetNatRuleByID(int32_t id);

/* Walks the in-use records of TABLE (AGAPI_NAT_RULES_MAX records) inside
 * the three windows, in window order.  *CURSOR is the index of the record
 * returned last, negative to begin; it is set to the index of the record
 * returned and left alone when none is left (null returned).  Windows are
 * kept inside the table. */
const NatRuleRecord *EnumerateNatRule(int32_t *cursor, const NatRuleRecord *table,
                                      int32_t start1, int32_t count1, int32_t start2,
                                      int32_t count2, int32_t start3, int32_t count3);
/* Prints the table: time line, header and a dash line, then each in-use
 * record followed by a dash line, then the total. */
void DumpNatRuleTable(const NatRuleRecord *table, int32_t time, int32_t start1, int32_t count1,
                      int32_t start2, int32_t count2, int32_t start3, int32_t count3);

#pragma GCC visibility pop

#ifdef __cplusplus
}
#endif

#endif
