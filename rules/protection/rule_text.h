// Pieces shared by the protection and segmentation generators: numbers read
// from the settings, settings texts rendered as shell words, whole rule lines
// and the space-separated list settings.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <string_view>

#include "arnonat_common.h"
#include "platform/line_buffer.h"
#include "platform/rule_file.h"
#include "zolt_nvram.h"

namespace arnonat::protection {

// A numeric setting read the way the C library's atoi reads it (leading
// blanks, a sign, the leading digits, 0 when there are none), but through
// strtol, so a huge text clamps instead of overflowing.
inline long setting_number(const char *key)
{
    return std::strtol(zoltNvramConfig_get(key), nullptr, 10);
}

// The port of a service setting when the router can open it: 1 to 65534.
// 0, 65535 and above, negative numbers and non-numbers give 0.
inline int service_port(const char *key)
{
    long port = setting_number(key);
    return port >= 1 && port <= 65534 ? static_cast<int>(port) : 0;
}

// Room for a text of MAX characters as one shell word: at worst every
// character is a quote, written as '\'' (4 bytes), inside two outer quotes.
constexpr size_t shell_word_room(size_t max)
{
    return 4 * max + 2 + 1;
}

// A settings text of at most MAX characters as one shell word, for a %s of a
// rule line.  Callers check the length first; a longer text would leave the
// word empty.
template <size_t Max>
class ShellArg {
public:
    explicit ShellArg(const char *text) { word_.word(text); }
    const char *c_str() const { return word_.c_str(); }

private:
    LineBuffer<shell_word_room(Max)> word_;
};

// The WAN interface name (at most 15 characters) as one shell word.
class WanWord {
public:
    WanWord() : word_(resolve(name_)) {}
    const char *c_str() const { return word_.c_str(); }

private:
    static const char *resolve(char *name)
    {
        name[0] = '\0';
        arnonat_getWanInterface(name);
        name[ARNONAT_WAN_IFNAME_SIZE - 1] = '\0';
        return name;
    }

    char name_[ARNONAT_WAN_IFNAME_SIZE];
    ShellArg<ARNONAT_WAN_IFNAME_SIZE - 1> word_;
};

// Longest rule line of these generators with every placeholder at its
// longest and fully quoted: the port scan LOG line (196 bytes of its own and
// the WAN word twice) and the DNS redirection line (105 bytes, the LAN
// interface and both DHCP addresses) stay below it.
inline constexpr size_t kRuleLineSize = 512;
static_assert(196 + 2 * shell_word_room(ARNONAT_WAN_IFNAME_SIZE - 1) < kRuleLineSize);
static_assert(105 + shell_word_room(15) + 2 * shell_word_room(19) < kRuleLineSize);

// Formats one rule line and appends it to FILE when it fits; otherwise
// prints the refusal notice naming WHO and writes nothing.
__attribute__((format(printf, 3, 4))) inline bool put_line(File &file, const char *who, const char *fmt, ...)
{
    LineBuffer<kRuleLineSize> line;
    va_list ap;
    va_start(ap, fmt);
    line.vappend(fmt, ap);
    va_end(ap);
    return file.put(line, who);
}

// Splits a list setting into its words the way strtok_r with " " does: runs
// of spaces separate, leading and trailing spaces give no word.  Takes at
// most MAX words into WORDS and returns how many it took.
inline int split_list(std::string_view text, std::string_view *words, int max)
{
    int n = 0;
    size_t at = 0;
    while (n < max) {
        at = text.find_first_not_of(' ', at);
        if (at == std::string_view::npos)
            break;
        size_t end = text.find(' ', at);
        if (end == std::string_view::npos)
            end = text.size();
        words[n++] = std::string_view(text.data() + at, end - at); // substr would need the C++ runtime
        at = end;
    }
    return n;
}

} // namespace arnonat::protection
