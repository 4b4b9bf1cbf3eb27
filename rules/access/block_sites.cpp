// Site blocking by keyword: DNS queries (UDP 53) and web requests (TCP 80)
// whose payload holds a keyword are logged and dropped in the BLOCKSITE and
// BLOCKSITE_IN_CHAIN chains, optionally letting one trusted LAN host and the
// DNS servers through.  The firewall script creates both chains; the rules
// here only flush and fill them.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "arnonat_access.h"
#include "platform/heap_buffer.h"
#include "platform/line_buffer.h"
#include "platform/rule_file.h"
#include "platform/runtime_rules.h"
#include "platform/shell_run.h"
#include "platform/text_values.h"
#include "platform/tokens.h"
#include "zolt_nvram.h"

namespace {

using arnonat::File;
using arnonat::put_line;
using Slot = char[ARNONAT_TOKEN_SIZE];

constexpr int kModeOff = 0;
constexpr int kModeScheduled = 1;
constexpr int kModeAlways = 2;

constexpr int kMaxKeywords = 255;
constexpr int kMaxDnsServers = 12;
constexpr size_t kMaxText = ARNONAT_TOKEN_SIZE - 1; // keyword, log name, DNS list

// A keyword or log name of 127 characters as one shell word: at worst every
// character is a quote, which the shell word writes as four.
constexpr size_t kWordSize = 2 + 4 * kMaxText + 1;
// The longest rule line: its fixed text, three words (an address and the
// keyword twice, or the keyword and its log name) and a schedule fragment.
constexpr size_t kLineSize = 2048;
static_assert(kLineSize > 200 + 3 * kWordSize + ARNONAT_SCHEDULE_FRAGMENT_SIZE, "rule line size");

// A settings or caller text as one shell word (see shell_word.h).
class Word : public arnonat::LineBuffer<kWordSize> {
public:
    explicit Word(const char *text) { word(text); }
};

int block_sites_mode()
{
    char mode[10] = "";
    zoltNvramConfig_read("bs_enable", mode, sizeof mode);
    return arnonat::atoi_clamped(mode);
}

// The keywords of bs_keywords, one a line; empty lines are skipped.  The
// list is 32 KiB, so it lives on the heap.
struct Keywords {
    Slot slot[kMaxKeywords];
    int count = 0;
};
using KeywordList = arnonat::HeapObject<Keywords>;

void report_no_memory()
{
    std::printf("block sites: no memory for the keyword list, no rules written\n");
}

// Splits the keyword list as strtok_r on newlines would, over the whole
// setting: 255 keywords of 127 characters are more than the exported
// tokenizer looks at.
void read_keywords(Keywords &list)
{
    arnonat::Tokens lines(zoltNvramConfig_get("bs_keywords"), "\n");
    int pieces = 0;
    for (std::string_view line; lines.next(line);) {
        ++pieces;
        if (list.count == kMaxKeywords)
            continue;
        if (line.size() > kMaxText)
            std::printf("block sites: keyword %d longer than %zu characters, only its first %zu are matched\n",
                        pieces, kMaxText, kMaxText);
        size_t n = line.size() < kMaxText ? line.size() : kMaxText;
        std::memcpy(list.slot[list.count], line.data(), n);
        list.slot[list.count][n] = '\0';
        ++list.count;
    }
    if (pieces > kMaxKeywords)
        std::printf("block sites: %d keywords, only the first %d are blocked\n", pieces, kMaxKeywords);
}

// DNS servers that may answer the trusted host, from wan_dns1 when
// wan_dns_sel is "1", else from wan_dns: addresses separated by blanks.
struct DnsServers {
    Slot slot[kMaxDnsServers];
    int count = 0;
};

void read_dns_servers(DnsServers &list)
{
    const char *value = zoltNvramConfig_match("wan_dns_sel", "1") ? zoltNvramConfig_get("wan_dns1")
                                                                    : zoltNvramConfig_get("wan_dns");
    if (!*value || std::strcmp(value, "0.0.0.0") == 0)
        return;
    char text[kMaxText + 1];
    size_t len = strnlen(value, kMaxText);
    std::memcpy(text, value, len);
    text[len] = '\0';
    if (value[len] != '\0') {
        // Never let a cut address through: drop what the cut began.
        char *blank = value[len] == ' ' ? text + len : std::strrchr(text, ' ');
        *(blank ? blank : text) = '\0';
        std::printf("block sites: DNS server list longer than %zu characters, the addresses past it are not trusted\n",
                    kMaxText);
    }
    arnonat::Tokens addresses(text, " ");
    int n = 0;
    for (std::string_view address; addresses.next(address); ++n) {
        if (n == kMaxDnsServers) {
            std::printf("block sites: more than %d DNS servers, only the first %d are trusted\n", kMaxDnsServers,
                        kMaxDnsServers);
            break;
        }
        // The text is shorter than a slot.
        std::memcpy(list.slot[n], address.data(), address.size());
        list.slot[n][address.size()] = '\0';
    }
    list.count = n;
}

// Keeps the site name of a web address: www.example.com, example.com,
// example.com.au and www.example.co.uk all become example.
void reduce_site_name(char *keyword)
{
    // Only two to five pieces are reduced, so six tell "more than five".
    std::string_view piece[6];
    arnonat::Tokens pieces(keyword, ".");
    int n = 0;
    while (n < 6 && pieces.next(piece[n]))
        ++n;
    std::string_view name;
    if (n == 2) {
        name = piece[0];
    } else if (n == 3) {
        static constexpr const char *kGeneric[] = {"edu", "org", "gov", "mil", "com", "net"};
        bool generic = false;
        for (const char *top : kGeneric)
            generic = generic || piece[1] == top;
        name = generic ? piece[0] : piece[1];
    } else if (n == 4 || n == 5) {
        name = piece[1];
    }
    if (name.data()) {
        std::memmove(keyword, name.data(), name.size());
        keyword[name.size()] = '\0';
    }
}

// Writes the rules of one keyword with one schedule fragment.
class RuleWriter {
public:
    RuleWriter(File &file, const char *who, const char *keyword, const char *fragment)
        : file_(file), who_(who), keyword_(keyword),
          log_name_(transferKeyWordForLog(keyword, static_cast<int>(std::strlen(keyword)), log_name_text_)),
          fragment_(fragment)
    {
    }

    void write(bool allow, const DnsServers &dns)
    {
        drop_set();
        if (allow)
            allow_set(dns);
    }

private:
    // Calls EMIT with the shell word of the setting KEY, read afresh; a
    // value too long for a rule line is refused with a notice.
    template <typename Emit>
    void with_setting(const char *key, Emit emit)
    {
        Word value(zoltNvramConfig_get(key));
        if (value.ready(who_))
            emit(value.c_str());
    }

    template <typename Emit>
    void with_trusted_and_dns(const DnsServers &dns, Emit emit)
    {
        with_setting("bs_trustedip", emit);
        for (int k = 0; k < dns.count; ++k)
            emit(Word(dns.slot[k]).c_str());
    }

    void drop_set()
    {
        const char *k = keyword_.c_str();
        const char *n = log_name_.c_str();
        const char *s = fragment_;
        put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE 1 -p udp --dport 53 -m string --string %s --algo bm %s -j DROP\n", k, s);
        with_setting("lan_ipaddr", [&](const char *l) {
            put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE 1 -p tcp ! -d %s --dport 80 -m string --string %s --algo bm %s -j DROP\n", l, k, s);
        });
        put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE_IN_CHAIN 1 -p udp --dport 53 -m string --string %s --algo bm %s -j DROP\n", k, s);
        with_setting("lan_ipaddr", [&](const char *l) {
            put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE_IN_CHAIN 1 -p tcp ! -d %s --dport 80 -m string --string %s --algo bm %s -j DROP\n", l, k, s);
        });
        put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE 1 -p udp --dport 53 -m string --string %s --algo bm %s -j LOG --log-prefix BLOCK_SITE:block:%s --log-level 5\n", k, s, k);
        with_setting("lan_ipaddr", [&](const char *l) {
            put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE 1 -p tcp ! -d %s --dport 80 -m string --string %s --algo bm %s -j LOG --log-prefix BLOCK_SITE:block:%s --log-level 5\n", l, k, s, n);
        });
        put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE_IN_CHAIN 1 -p udp --dport 53 -m string --string %s --algo bm %s -j LOG --log-prefix BLOCK_SITE:block:%s --log-level 5\n", k, s, k);
        with_setting("lan_ipaddr", [&](const char *l) {
            put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE_IN_CHAIN 1 -p tcp ! -d %s --dport 80 -m string --string %s --algo bm %s -j LOG --log-prefix BLOCK_SITE:block:%s --log-level 5\n", l, k, s, n);
        });
    }

    void allow_set(const DnsServers &dns)
    {
        const char *trusted = zoltNvramConfig_get("bs_trustedip");
        // No trusted host: "0.0.0.0", or nothing at all.
        if (!*trusted || std::strcmp(trusted, "0.0.0.0") == 0)
            return;
        const char *k = keyword_.c_str();
        const char *s = fragment_;
        with_setting("bs_trustedip", [&](const char *t) {
            put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE 1 -p tcp -s %s --dport 80 -m string --string %s --algo bm %s -j ACCEPT\n", t, k, s);
        });
        with_trusted_and_dns(dns, [&](const char *t) {
            put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE 1 -p udp -s %s --dport 53 -m string --string %s --algo bm %s -j ACCEPT\n", t, k, s);
        });
        with_setting("bs_trustedip", [&](const char *t) {
            put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE_IN_CHAIN 1 -p tcp -s %s --dport 80 -m string --string %s --algo bm %s -j ACCEPT\n", t, k, s);
        });
        with_trusted_and_dns(dns, [&](const char *t) {
            put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE_IN_CHAIN 1 -p udp -s %s --dport 53 -m string --string %s --algo bm %s -j ACCEPT\n", t, k, s);
        });
        with_setting("bs_trustedip", [&](const char *t) {
            put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE 1 -p tcp -s %s --dport 80 -m string --string %s --algo bm %s -j LOG --log-prefix BLOCK_SITE:allow:%s --log-level 5\n", t, k, s, k);
        });
        with_trusted_and_dns(dns, [&](const char *t) {
            put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE 1 -p udp -s %s --dport 53 -m string --string %s --algo bm %s -j LOG --log-prefix BLOCK_SITE:allow:%s --log-level 5\n", t, k, s, k);
        });
        with_setting("bs_trustedip", [&](const char *t) {
            put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE_IN_CHAIN 1 -p tcp -s %s --dport 80 -m string --string %s --algo bm %s -j LOG --log-prefix BLOCK_SITE:allow:%s --log-level 5\n", t, k, s, k);
        });
        with_trusted_and_dns(dns, [&](const char *t) {
            put_line<kLineSize>(file_, who_, "iptables -I BLOCKSITE_IN_CHAIN 1 -p udp -s %s --dport 53 -m string --string %s --algo bm %s -j LOG --log-prefix BLOCK_SITE:allow:%s --log-level 5\n", t, k, s, k);
        });
    }

    File &file_;
    const char *who_;
    Word keyword_;
    char log_name_text_[ARNONAT_TOKEN_SIZE]; // filled before log_name_ is built from it
    Word log_name_;
    const char *fragment_;
};

// What every keyword's rules need besides the keyword and the fragment.
struct Allowed {
    bool enabled = zoltNvramConfig_match("bs_trustedip_enable", "1");
    DnsServers dns;
    Allowed()
    {
        if (enabled)
            read_dns_servers(dns);
    }
};

// The rules of every keyword with one fragment, keywords in list order.
void write_keywords(File &file, const char *who, const Slot *keywords, int count, const char *fragment,
                    const Allowed &allowed)
{
    for (int k = 0; k < count; ++k)
        RuleWriter(file, who, keywords[k], fragment).write(allowed.enabled, allowed.dns);
}

// The rules of every keyword in the block-sites mode: by schedule once per
// fragment, always with no time match.
void write_mode(File &file, const char *who, int mode, const Slot *keywords, int count)
{
    if (mode == kModeScheduled) {
        char first[ARNONAT_SCHEDULE_FRAGMENT_SIZE];
        char second[ARNONAT_SCHEDULE_FRAGMENT_SIZE];
        ARNONAT_GenerateScheduleRule(first, second);
        if (!first[0] && !second[0])
            return;
        Allowed allowed;
        if (first[0])
            write_keywords(file, who, keywords, count, first, allowed);
        if (second[0])
            write_keywords(file, who, keywords, count, second, allowed);
    } else if (mode == kModeAlways) {
        Allowed allowed;
        write_keywords(file, who, keywords, count, "", allowed);
    }
}

} // namespace

extern "C" char *transferKeyWordForLog(const char *keyword, int length, char *out)
{
    if (!out)
        return out;
    if (!keyword) {
        out[0] = '\0';
        return out;
    }
    const char *www = std::strstr(keyword, "www.");
    const char *com = std::strstr(keyword, ".com");
    const char *from = keyword; // the name runs from here ...
    long count = -1;            // ... for this many characters, or to the end when negative
    if (www && com) {
        long m = length - static_cast<long>(std::strlen(com)) - 4;
        if (m > 0) {
            from = www + 4;
            count = m;
        }
    } else if (www) {
        long m = length - 4L;
        if (m > 0) {
            from = www + 4;
            count = m;
        }
    } else if (com) {
        long m = length - static_cast<long>(std::strlen(com));
        if (m > 0)
            count = m;
    }
    // LENGTH comes from the caller: never read past the keyword's end.
    size_t available = std::strlen(from);
    size_t n = count < 0 || static_cast<size_t>(count) > available ? available : static_cast<size_t>(count);
    // "www.%s.com" with that name, cut to 127 characters.
    size_t len = 0;
    auto add = [&](const char *text, size_t size) {
        size_t room = kMaxText - len;
        size_t take = size < room ? size : room;
        std::memcpy(out + len, text, take);
        len += take;
    };
    add("www.", 4);
    add(from, n);
    add(".com", 4);
    out[len] = '\0';
    return out;
}

extern "C" int ARNONAT_GenerateVelmoraBsiteRules(const char *path)
{
    static constexpr char kWho[] = "ARNONAT_GenerateVelmoraBsiteRules";
    File file = arnonat::open_rules(path, arnonat::kRulesOpenFailure);
    if (!file)
        return -1;
    int mode = block_sites_mode();
    // Flushed whatever the mode, so the chains hold exactly the current rules.
    file.put("iptables -F BLOCKSITE\n");
    file.put("iptables -F BLOCKSITE_IN_CHAIN\n");

    if (mode == kModeScheduled || mode == kModeAlways) {
        KeywordList list;
        if (!list) {
            report_no_memory();
            file.close();
            errno = ENOMEM;
            return -1;
        }
        read_keywords(*list);
        // Scheduled keywords are matched as the user entered them; the
        // always-on ones by their site name.
        if (mode == kModeAlways)
            for (int k = 0; k < list->count; ++k)
                reduce_site_name(list->slot[k]);
        write_mode(file, kWho, mode, list->slot, list->count);
    }
    return file.finish(0);
}

extern "C" int ARNONAT_ExecuteOneBlockSiteRule(const char *keyword)
{
    static constexpr char kWho[] = "ARNONAT_ExecuteOneBlockSiteRule";
    if (!keyword || !*keyword)
        return 0;
    Slot one[1];
    std::snprintf(one[0], sizeof one[0], "%s", keyword);

    // The keyword is applied by running the file itself.
    arnonat::RuntimeRules rules(kWho);
    if (!rules)
        return 0;
    File file = rules.open_with_header();
    write_mode(file, kWho, block_sites_mode(), one, 1);
    rules.apply(file.close(), arnonat::kRuntimeRulesFile, true);
    return 0;
}

extern "C" int ARNONAT_GenerateBlockSiteRuleInRunTime(void)
{
    int mode = block_sites_mode();
    // Had before the chains are flushed: without it they stay as they are.
    KeywordList list;
    if (!list) {
        report_no_memory();
        return 0;
    }
    arnonat::run_command("iptables -F BLOCKSITE");
    arnonat::run_command("iptables -F BLOCKSITE_IN_CHAIN");
    if (mode == kModeOff)
        return 0;
    read_keywords(*list);
    for (int k = 0; k < list->count; ++k) {
        reduce_site_name(list->slot[k]);
        ARNONAT_ExecuteOneBlockSiteRule(list->slot[k]);
    }
    return 0;
}
