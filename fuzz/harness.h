// What the fuzz targets share: the input as text and its parts, a private
// settings store written from them, and the rule file a generator writes.  A
// failed check stops the run, and libFuzzer keeps the input that did it.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace fuzz {

// The targets' notices would only slow a run down.
inline const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;

inline void check(bool ok) { if (!ok) std::abort(); }

// The input as text, cut at its first NUL (a setting holds none).
inline std::string text(const uint8_t *data, size_t size)
{
    return std::string(reinterpret_cast<const char *>(data), strnlen(reinterpret_cast<const char *>(data), size));
}

// TEXT split at SEP into at most MAX parts (at least one), with empty ones
// up to MIN.
inline std::vector<std::string> parts(const std::string &text, char sep, size_t max = 64, size_t min = 1)
{
    std::vector<std::string> out;
    for (size_t start = 0; start <= text.size() && out.size() < max; start += out.back().size() + 1)
        out.push_back(text.substr(start, text.find(sep, start) - start));
    out.resize(std::max(out.size(), min));
    return out;
}

// Files of this process under /tmp: the settings store and the rule file.
inline const std::string kStore = "/tmp/arnonat-fuzz-" + std::to_string(::getpid()) + "-store";
inline const bool kStoreSet = ::setenv("ZOLT_NVRAM_FILE", kStore.c_str(), 1) == 0;

// Writes the store: KEY=VALUE lines with the store's escapes, without its
// locking and syncing, so that runs stay fast.
inline void write_store(const std::vector<std::pair<std::string, std::string>> &settings)
{
    FILE *f = std::fopen(kStore.c_str(), "w");
    check(f != nullptr);
    for (const auto &[key, value] : settings) {
        std::fprintf(f, "%s=", key.c_str());
        for (char c : value.substr(0, value.find('\0')))
            std::fputs(c == '\n' ? "\\n" : c == '\\' ? "\\\\" : std::string(1, c).c_str(), f);
        std::fputc('\n', f);
    }
    std::fclose(f);
}

// The text GENERATE (a generator given a path) writes into a fresh rule
// file of this process; a generator's failure, or a file that cannot be
// read, is a fault.
template <typename Generate>
std::string generated(Generate generate)
{
    static const std::string rules = kStore.substr(0, kStore.size() - 5) + "rules";
    ::unlink(rules.c_str());
    check(generate(rules.c_str()) == 0);
    std::ifstream in(rules, std::ios::binary);
    check(in.is_open());
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace fuzz
