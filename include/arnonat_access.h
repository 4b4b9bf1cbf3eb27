/* Access-control rule generators: weekly schedule fragments and site
 * blocking by keyword. */
#ifndef ARNONAT_ACCESS_H
#define ARNONAT_ACCESS_H

#ifdef __cplusplus
extern "C" {
#endif

/* Exported: the names declared here, and nothing else of the library. */
#pragma GCC visibility push(default)

/* Slot sizes of the tokenizers, terminator included. */
#define ARNONAT_TOKEN_SIZE 128
#define ARNONAT_SMALL_TOKEN_SIZE 16

/* Least size of each schedule fragment buffer. */
#define ARNONAT_SCHEDULE_FRAGMENT_SIZE 128

/* arnonat_getHourDifference when the clock cannot be read. */
#define ARNONAT_NO_HOUR_DIFFERENCE (-100)

/* Fills FIRST and SECOND (ARNONAT_SCHEDULE_FRAGMENT_SIZE bytes each) with the
 * iptables time-match options of the schedule_config window in UTC: each is
 * empty or one "-m time --timestart H:M --timestop H:M --weekdays ... "
 * fragment.  Rules are written once per fragment that is not empty.
 * Returns 0. */
int ARNONAT_GenerateScheduleRule(char *first, char *second);

/* Local time minus UTC in whole hours, read from `date` and `date -u`;
 * ARNONAT_NO_HOUR_DIFFERENCE when the clock cannot be read. */
int arnonat_getHourDifference(void);

/* Splits TEXT at any of the DELIMITERS characters (strtok_r semantics: empty
 * pieces are skipped) into at most MAX tokens, copied into consecutive slots
 * and cut to fit them.  Slots from the token count up to MAX - 1 are emptied.
 * An absent or empty TEXT returns 0 and leaves the slots alone.  Text past
 * 16383 bytes is ignored.  Returns the number of tokens. */
int arnonat_getTokens(const char *text, const char *delimiters, char (*slots)[ARNONAT_TOKEN_SIZE],
                      int max);
int arnonat_getSmallTokens(const char *text, const char *delimiters,
                           char (*slots)[ARNONAT_SMALL_TOKEN_SIZE], int max);

/* Appends the block-sites rules of the BLOCKSITE and BLOCKSITE_IN_CHAIN
 * chains to the shell file PATH.  0, or -1 (errno telling why) when PATH
 * cannot be opened or written. */
int ARNONAT_GenerateVelmoraBsiteRules(const char *path);

/* Flushes both block-sites chains at once and applies every keyword through
 * ARNONAT_ExecuteOneBlockSiteRule.  Returns 0. */
int ARNONAT_GenerateBlockSiteRuleInRunTime(void);

/* Writes the rules of one (already reduced) KEYWORD to the run-time rules
 * file and runs it, under the run lock; a file that cannot be written whole
 * gets a notice and is not run.  Returns 0. */
int ARNONAT_ExecuteOneBlockSiteRule(const char *keyword);

/* Log name of KEYWORD (LENGTH bytes): "www.NAME.com" cut to 127 characters,
 * written to OUT (128 bytes).  Returns OUT. */
char *transferKeyWordForLog(const char *keyword, int length, char *out);

/* ---- Service tables and block services ------------------------------- */

#include <stdint.h>

/* Rows of the default service tables. */
#define ARNONAT_DEFAULT_SERVICES 43

/* A default service: protocol 6 TCP, 17 UDP, -1 both. */
typedef struct ArnonatServiceDefault {
    char name[32];
    int32_t protocol;
    int32_t startPort;
    int32_t endPort;
    int32_t marked;
    char reserved[24];
} ArnonatServiceDefault;

/* The same for the second WAN session, with the port pair repeated. */
typedef struct ArnonatServiceDefault2 {
    char name[32];
    int32_t protocol;
    int32_t startPort;
    int32_t endPort;
    int32_t startPort2;
    int32_t endPort2;
    int32_t marked;
    char reserved[16];
} ArnonatServiceDefault2;

extern ArnonatServiceDefault arnonat_serviceDefault[ARNONAT_DEFAULT_SERVICES];
extern ArnonatServiceDefault2 arnonat_serviceDefault2[ARNONAT_DEFAULT_SERVICES];

/* One service as the rule generators see it: the TCP and UDP records of a
 * two-protocol service merged into one entry ("TCP/UDP"). */
typedef struct ArnonatServiceEntry {
    char name[48];
    char protocol[10];
    char startPort[10];
    char endPort[10];
    int32_t index;     /* position in the engine's listing */
    int32_t twinIndex; /* position of the "_zZz" twin record, or -1 */
} ArnonatServiceEntry;

/* Fills ENTRIES (CAPACITY entries) from the engine's service table of the
 * first (second) session, in listing order, without twin records.  With
 * DEFAULT_ONLY not 0 only services named as a default row are taken;
 * otherwise every service but the DMZ and forwarding ones.  Returns the
 * number of entries written. */
int arnonat_getServiceTable(ArnonatServiceEntry *entries, unsigned int capacity, int defaultOnly);
int arnonat_getServiceTable2(ArnonatServiceEntry *entries, unsigned int capacity, int defaultOnly);

/* Appends the BLOCK_SERVICE_CHAIN rules of fw_bks_block_service to the
 * shell file PATH.  0, or -1 (errno telling why) when PATH cannot be
 * opened or written. */
int ARNONAT_GenerateBlockServicesRules(const char *path);

/* Decodes a service name in place: "\s" is "@", "\t" is ";", "\\" is one
 * backslash; the result is cut to 95 characters.  A null NAME is left
 * alone. */
void fw_restore_space(char *name);

/* Told about changes of the engine's filter table (ACTION 1 after an add or
 * a change, 2 before a delete or a change).  Does nothing; returns 0. */
int ARNONAT_ExecuteOneBlockServiceRule(int filter, int action);

/* The second WAN session's block-service state, set by other programs:
 * whether the second session is in use, and the filter record selected by
 * the head index (64 records of 64 bytes). */
extern int32_t arnonat_g_isJpMultiWanCgi;
extern uint16_t arnonat_g_FilterIdHead;
extern unsigned char arnonat_g_FilterRecord[4096];
extern uint16_t arnonat_g_FilterIdHead2;
extern unsigned char arnonat_g_FilterRecord2[4096];

#pragma GCC visibility pop

#ifdef __cplusplus
}
#endif

#endif
