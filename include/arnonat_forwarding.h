/* Forwarding rule generators: inbound service records and DMZ ports. */
#ifndef ARNONAT_FORWARDING_H
#define ARNONAT_FORWARDING_H

#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Exported: the names declared here, and nothing else of the library. */
#pragma GCC visibility push(default)

/* Protocol codes of port forwarding entries. */
#define ARNONAT_PROTO_TCP 7
#define ARNONAT_PROTO_UDP 8
#define ARNONAT_PROTO_BOTH 9

#define ARNONAT_INBOUND_MAX 171

/* Port forwarding entries of the setting inbound_record, by column: entry k
 * is element k of every column. */
typedef struct {
    int32_t count;                           /* entries the users walk */
    int32_t ruleId[ARNONAT_INBOUND_MAX];     /* NAT engine rule of the entry */
    int32_t reserved[ARNONAT_INBOUND_MAX];   /* never written by the reader */
    int32_t extStart[ARNONAT_INBOUND_MAX];   /* external start port */
    int32_t extEnd[ARNONAT_INBOUND_MAX];     /* external end port */
    int32_t intStart[ARNONAT_INBOUND_MAX];   /* internal start port */
    int32_t intEnd[ARNONAT_INBOUND_MAX];     /* internal end port */
    int32_t protocol[ARNONAT_INBOUND_MAX];   /* 7 TCP, 8 UDP, 9 both */
    uint32_t serverAddr[ARNONAT_INBOUND_MAX]; /* network byte order; never written by the reader */
} ArnonatInboundTable;

extern ArnonatInboundTable g_iPolicyRecord;

/* Parses inbound_record into g_iPolicyRecord.  Returns 0. */
int ARNONAT_fwInboundReadFromRAM(void);

/* Excluded port ranges of the DMZ lists: sorted by start, a start of 0 ends
 * the list. */
#define ARNONAT_DMZ_RANGES_MAX 33
typedef struct {
    uint16_t start;
    uint16_t end;
} ArnonatPortRange;

/* Appends the DMZ text of PROTOCOL (7 TCP, 8 UDP) to STREAM: the free port
 * ranges, then ">", the DMZ host, a backslash and a newline.  Returns 0. */
int ARNONAT_ConfigureDmzPorts(FILE *stream, int protocol);

/* Reads the inbound records and merges each entry's external range into
 * LIST (ARNONAT_DMZ_RANGES_MAX ranges).  Returns 0. */
int ARNONAT_NatDmzPortStructBuild(int protocol, ArnonatPortRange *list);

/* ---- Port triggering ---- */

/* Appends to the file at PATH the flush lines of the port trigger chains
 * and, when fwpt_enable is "1", the ip4tables TRIGGER rules of the policies
 * fwpt0 .. fwpt<fwpt_count - 1> (at most 20).  -1 (errno telling why) when
 * the file cannot be opened or written, else 0. */
int ARNONAT_GeneratePortTriggerRules(const char *path);

/* ---- Port forwarding ---- */

/* Appends to the file at PATH the flush lines of the port forwarding chains
 * and the rules of every inbound record.  -1 (errno telling why) when the
 * file cannot be opened (nothing printed) or written, else 0. */
int ARNONAT_GeneratePortForwardRules(const char *path);

/* Applies one forwarding rule at once: ARGV[1] internal start port, ARGV[2]
 * internal end port, ARGV[3] server address (dotted quad), ARGV[4] external
 * port, ARGV[5] "tcp", "udp" or "both" (no rule without it).  Writes the
 * run-time rules file with the rule and runs it, under the run lock.  Fewer
 * than five words, a server that is not a dotted quad, or a file that cannot
 * be written whole get a notice and nothing is run.  Returns 0. */
int ARNONAT_ExecuteOnePortForwardRule(int argc, char *const argv[]);

#pragma GCC visibility pop

#ifdef __cplusplus
}
#endif

#endif
