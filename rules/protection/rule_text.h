// Pieces shared by the protection and segmentation generators: service
// ports read from the settings, settings texts rendered as shell words, the
// room of their rule lines and the space-separated list settings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "arnonat_common.h"
#include "platform/line_buffer.h"
#include "platform/rule_file.h"
#include "platform/text_values.h"
#include "platform/tokens.h"
#include "zolt_nvram.h"

namespace arnonat::protection {

// The port of a service setting (atoi semantics) when the router can open
// it: 1 to 65534.  0, 65535 and above, negative numbers and non-numbers
// give 0.
inline int service_port(const char *key)
{
    int32_t port = atoi_clamped(zoltNvramConfig_get(key));
    return port >= 1 && port <= 65534 ? port : 0;
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
// interface and both DHCP addresses) stay below the room of put_line.
using arnonat::kRuleLineSize;
static_assert(196 + 2 * shell_word_room(ARNONAT_WAN_IFNAME_SIZE - 1) < kRuleLineSize);
static_assert(105 + shell_word_room(15) + 2 * shell_word_room(19) < kRuleLineSize);

// Splits a list setting into its words as strtok_r with " " does.  Takes at
// most MAX words into WORDS and returns how many it took.
inline int split_list(std::string_view text, std::string_view *words, int max)
{
    Tokens list(text, " ");
    int n = 0;
    while (n < max && list.next(words[n]))
        ++n;
    return n;
}

} // namespace arnonat::protection
