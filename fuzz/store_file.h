// Puts one settings value into a private store file for a fuzz run, without
// the store's locking and syncing, so that runs stay fast.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

inline const char *store_path()
{
    static std::string path = [] {
        std::string p = "/tmp/arnonat-fuzz-store-" + std::to_string(::getpid());
        ::setenv("ZOLT_NVRAM_FILE", p.c_str(), 1);
        return p;
    }();
    return path.c_str();
}

// Writes KEY=VALUE lines with the store's escapes; a value is cut at a NUL.
inline void write_store(std::initializer_list<std::pair<const char *, std::string>> pairs)
{
    FILE *f = std::fopen(store_path(), "w");
    if (!f)
        std::abort();
    for (const auto &[key, value] : pairs) {
        std::fprintf(f, "%s=", key);
        for (char c : value) {
            if (c == '\0')
                break;
            if (c == '\n')
                std::fputs("\\n", f);
            else if (c == '\\')
                std::fputs("\\\\", f);
            else
                std::fputc(c, f);
        }
        std::fputc('\n', f);
    }
    std::fclose(f);
}

// The whole file a generator wrote; a file that cannot be read is a fault.
inline std::string read_file(const char *path)
{
    FILE *f = std::fopen(path, "r");
    if (!f)
        std::abort();
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(f);
    return text;
}

} // namespace fuzz
