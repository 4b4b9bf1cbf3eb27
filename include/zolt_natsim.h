/* Control API of the NAT engine simulator (libarnonat_sim): the stand-in for
 * the router's kernel NAT module on a development machine.  Tests and tools
 * use it to set the engine's tables, force answers and read back every
 * command the engine received. */
#ifndef ZOLT_NATSIM_H
#define ZOLT_NATSIM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Exported: the names declared here, and nothing else of the library. */
#pragma GCC visibility push(default)

struct natsim_call {                 /* one command, as the engine received it */
    const char   *device;            /* "/dev/zolt_nat_cli" or "/dev/spiv6" */
    unsigned long code;              /* full ioctl request code */
    uintptr_t     arg;               /* third ioctl argument as passed */
    int32_t       count;             /* count word of a message or vector, else 0 */
    uint32_t      length[32];        /* message lengths as received, else 0 */
    uintptr_t     word[32];          /* message field words / vector word addresses */
    uint32_t      data_len[32];      /* bytes copied of each field the command reads */
    const unsigned char *data[32];   /* those bytes (vector words: the string with its NUL) */
    uint32_t      record_len;        /* record-pointer commands: bytes copied from arg */
    const unsigned char *record;
};

/* Empty engine, both devices present, log empty. */
void   natsim_reset(void);
/* Makes PATH (one of the two device paths) present or absent. */
void   natsim_set_device(const char *path, int present);
/* From now on every command with CODE returns RESULT without any other
 * effect on the engine (until reset; a later call replaces RESULT; 0 lifts
 * it). */
void   natsim_force_result(unsigned long code, int result);
/* The command with CODE runs as usual, then the engine writes STATUS into
 * the count word of its message or vector (until reset; 0 lifts it).
 * The two controls are independent: with both set for one code, the
 * command returns the forced result and STATUS is still written into the
 * count word, as an engine does that refuses a command and says why. */
void   natsim_force_count_status(unsigned long code, int32_t status);
size_t natsim_log_size(void);
/* Entry I of the log, or null past its end; valid until the log is
 * cleared. */
const struct natsim_call *natsim_log_entry(size_t i);
void   natsim_log_clear(void);
/* Table loaders; 0 done, -1 when the table would not fit the engine. */
int    natsim_set_nat_table(const void *records48, int n, const int32_t windows[6]);
int    natsim_set_listen_ports(const uint16_t *first, const uint16_t *second, int n);
int    natsim_set_alg_table(const void *entries80, int n);
int    natsim_set_conn_table(const void *entries92, int n);
int    natsim_set_version(const char *text);

#pragma GCC visibility pop

#ifdef __cplusplus
}
#endif

#endif
