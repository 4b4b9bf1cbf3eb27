// nvram: read and change the router's settings from the command line.
//
//   nvram get KEY          value and a newline; exit 1 when the key is unset
//   nvram set KEY=VALUE    the value is everything after the first '='
//   nvram unset KEY
//   nvram show             every setting as key=value, sorted by key, in the
//                          store's own form (newlines and backslashes of
//                          values escaped as \n and \\)
//
// Exit 2 on bad usage, 1 when the store cannot be read or written.

#include "zolt_nvram.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] = "usage: nvram get KEY | set KEY=VALUE | unset KEY | show\n";

int usage()
{
    fputs(kUsage, stderr);
    return 2;
}

// The same rule the store applies; checked here so that a bad key is told
// apart from a store that cannot be written.
bool valid_key(const char *key)
{
    return *key && !strpbrk(key, "=\n");
}

int finish_output()
{
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fprintf(stderr, "nvram: cannot write output: %s\n", strerror(errno));
        return 1;
    }
    return 0;
}

int do_get(const char *key)
{
    const char *value = zoltNvramConfig_get(key);
    // An empty text is also what an unset key reads as.
    if (value[0] == '\0' && !zoltNvramConfig_match(key, ""))
        return 1;
    fwrite(value, 1, strlen(value), stdout);
    fputc('\n', stdout);
    return finish_output();
}

int do_change(const char *key, const char *value)
{
    if (!valid_key(key)) {
        fprintf(stderr, "nvram: invalid key '%s'\n", key);
        return usage();
    }
    int rc = value ? zoltNvramConfig_set(key, value) : zoltNvramConfig_unset(key);
    if (rc != 0) {
        fprintf(stderr, "nvram: cannot write settings store %s: %s\n", zoltNvramConfig_path(),
                strerror(errno));
        return 1;
    }
    return 0;
}

// In the store's own escaped form, so that the output serves as a store
// (the check tool reads it so) with no line read as another key.
int do_show()
{
    if (zoltNvramConfig_show(stdout) != 0) {
        fprintf(stderr, "nvram: cannot read settings store %s\n", zoltNvramConfig_path());
        return 1;
    }
    return finish_output();
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "show") == 0)
        return do_show();
    if (argc != 3)
        return usage();
    const char *verb = argv[1];
    char *arg = argv[2];
    if (strcmp(verb, "get") == 0)
        return do_get(arg);
    if (strcmp(verb, "unset") == 0)
        return do_change(arg, nullptr);
    if (strcmp(verb, "set") == 0) {
        char *eq = strchr(arg, '=');
        if (!eq)
            return usage();
        *eq = '\0';
        return do_change(arg, eq + 1);
    }
    return usage();
}
