/* Peak resident memory of one process, for the benchmarks (never shipped).
 *
 * Preloaded into the program under measurement: at exit it appends the
 * process's own peak resident set (VmHWM in kB: this program image only, not
 * the process it was started from, not its children) to the file named by
 * ARNONAT_RSS_OUT.  Both variables are dropped at start so the commands
 * the program runs through the shell are not measured. */
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char out_path[512];

__attribute__((constructor)) static void probe_start(void)
{
    const char *out = getenv("ARNONAT_RSS_OUT");
    if (out && strlen(out) < sizeof out_path)
        strcpy(out_path, out);
    unsetenv("ARNONAT_RSS_OUT");
    unsetenv("LD_PRELOAD");
}

__attribute__((destructor)) static void probe_end(void)
{
    char line[256];
    long peak = -1;
    if (!out_path[0])
        return;
    FILE *status = fopen("/proc/self/status", "r");
    if (!status)
        return;
    while (fgets(line, sizeof line, status))
        if (sscanf(line, "VmHWM: %ld kB", &peak) == 1)
            break;
    fclose(status);
    FILE *f = fopen(out_path, "a");
    if (!f)
        return;
    fprintf(f, "%ld\n", peak);
    fclose(f);
}
