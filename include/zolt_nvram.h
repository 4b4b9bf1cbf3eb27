/* Settings store of the router (stand-in for the platform's libzolt_nvram).
 *
 * Keys and values are NUL-terminated texts.  A value may hold any byte but
 * NUL, newlines included.  An unset key reads as the empty text.
 */
#ifndef ZOLT_NVRAM_H
#define ZOLT_NVRAM_H

#include <stddef.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Exported: the names declared here, and nothing else of the library. */
#pragma GCC visibility push(default)

/* Value of KEY, "" when unset.  The text stays valid and unchanged for the
 * life of the process; callers never free it. */
const char *zoltNvramConfig_get(const char *key);

/* Non-zero when KEY is set and its value equals VALUE exactly. */
int zoltNvramConfig_match(const char *key, const char *value);

/* Copies the value of KEY into BUF (SIZE bytes), cut to fit and always
 * NUL-terminated when SIZE > 0.  Returns 0. */
int zoltNvramConfig_read(const char *key, char *buf, size_t size);

/* Stand-in extras: store or remove a key.  0 on success, -1 on failure
 * (bad key, store not writable). */
int zoltNvramConfig_set(const char *key, const char *value);
int zoltNvramConfig_unset(const char *key);

/* Stand-in extra: calls FN for every key in ascending byte order of the key.
 * Returns 0, or -1 when the store cannot be read. */
int zoltNvramConfig_foreach(void (*fn)(const char *key, const char *value, void *ctx), void *ctx);

/* Stand-in extra: writes every setting to OUT in the store's own form, one
 * "key=value" line each in ascending byte order of the key, newlines and
 * backslashes of values escaped, so that the output read as a store gives
 * the same settings.  Returns 0, or -1 when the store cannot be read or OUT
 * cannot be written. */
int zoltNvramConfig_show(FILE *out);

/* Path of the store file: $ZOLT_NVRAM_FILE, else ZOLT_NVRAM_DEFAULT_FILE. */
#define ZOLT_NVRAM_DEFAULT_FILE "/tmp/zolt_nvram.db"
const char *zoltNvramConfig_path(void);

#pragma GCC visibility pop

#ifdef __cplusplus
}
#endif

#endif
