// Service blocking: outgoing traffic from the LAN to chosen services (a
// protocol and a destination port range) is logged and dropped in the
// BLOCK_SERVICE_CHAIN chain, which the firewall script creates.  Entries
// come from fw_bks_block_service, always or within the schedule.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "arnonat_access.h"
#include "arnonat_common.h"
#include "platform/heap_buffer.h"
#include "platform/line_buffer.h"
#include "platform/rule_file.h"
#include "platform/text_values.h"
#include "platform/tokens.h"
#include "rules/access/block_service_cache.h"
#include "rules/access/block_service_entries.h"
#include "zolt_nvram.h"

using namespace arnonat::access;
using arnonat::Tokens;

namespace {

constexpr int kModeScheduled = 1;
constexpr int kModeAlways = 2;

// Decoded names are cut to this many characters.
constexpr size_t kNameMax = 95;

// Whole lines: the fixed text, the interfaces, ports, addresses and name as
// shell words and a schedule fragment.  Longer lines are refused.
constexpr size_t kLineSize = 4096;
using Line = arnonat::LineBuffer<kLineSize>;

constexpr char kWho[] = "ARNONAT_GenerateBlockServicesRules";

// Field numbers, from 1.
constexpr int kName = 3, kProtocol = 4, kStartPort = 5, kEndPort = 6, kSourceKind = 8, kAddress1 = 9,
              kAddress2 = 10;

int block_type()
{
    char mode[10] = "";
    zoltNvramConfig_read("fw_bks_block_type", mode, sizeof mode);
    return arnonat::atoi_clamped(mode);
}

const char *field(const BlockServiceEntry &e, int number)
{
    return e.field[number - 1];
}

bool field_is(const BlockServiceEntry &e, int number, const char *text)
{
    return field(e, number) && std::strcmp(field(e, number), text) == 0;
}

// The decoded name as the log prefix shows it: blanks and brackets become
// hyphens.
void log_name(const char *name, char (&out)[kNameMax + 1])
{
    // Decoded from a copy: the entries are written once per fragment.
    char copy[kBlockServiceValueMax + 1];
    std::snprintf(copy, sizeof copy, "%s", name);
    fw_restore_space(copy); // at most kNameMax characters now
    std::memcpy(out, copy, sizeof out);
    out[kNameMax] = '\0';
    for (char *p = out; *p; ++p)
        if (*p == ' ' || *p == '(' || *p == ')')
            *p = '-';
}

// The part every line of an entry begins with, for protocol PROTOCOL.
void prefix(Line &line, const BlockServiceEntry &e, const char *lan, const char *wan, const char *protocol)
{
    line.raw("iptables -A BLOCK_SERVICE_CHAIN --ipv4 ");
    line.raw("-i ").word(lan).raw(" -o ").word(wan).raw(" ");
    if (field(e, kProtocol))
        line.append("-p %s ", protocol);
    if (field(e, kStartPort) && field(e, kEndPort))
        line.raw("--dport ").word(field(e, kStartPort)).raw(":").word(field(e, kEndPort)).raw(" ");
    const char *first = field(e, kAddress1);
    const char *last = nullptr;
    if (field_is(e, kSourceKind, "1") && first)
        last = first;
    else if (field_is(e, kSourceKind, "2") && first && field(e, kAddress2))
        last = field(e, kAddress2);
    if (last)
        line.raw("-m iprange --src-range ").word(first).raw("-").word(last).raw(" ");
}

// The LOG and DROP lines of one entry and protocol.
void build(Line &log, Line &drop, const BlockServiceEntry &e, const char *lan, const char *wan,
           const char *protocol, const char *name, const char *fragment)
{
    prefix(log, e, lan, wan, protocol);
    log.raw("-j LOG --log-prefix BLOCK_SERVICE:").word(name).raw(" --log-level 5\n");
    prefix(drop, e, lan, wan, protocol);
    drop.raw(fragment ? fragment : "").raw("-j DROP\n");
}

// The four lines of an entry, built before any is written: 16 KiB, had
// once per generation on the heap.
struct EntryLines {
    Line udp_log, udp_drop, tcp_log, tcp_drop;

    void clear()
    {
        udp_log.clear();
        udp_drop.clear();
        tcp_log.clear();
        tcp_drop.clear();
    }
};

// Writes one entry's lines, all of them or, when one would not fit, none.
void write_entry(arnonat::File &file, EntryLines &l, const BlockServiceEntry &e, const char *wan,
                 const char *fragment)
{
    char name[kNameMax + 1];
    log_name(field(e, kName), name);
    const char *lan = zoltNvramConfig_get("lan_ifname");
    // Protocol "1" is TCP, "3" both, anything else UDP.
    const bool both = field_is(e, kProtocol, "3");
    const char *protocol = field_is(e, kProtocol, "1") ? "tcp" : "udp";
    l.clear();
    build(l.udp_log, l.udp_drop, e, lan, wan, protocol, name, fragment);
    if (both)
        build(l.tcp_log, l.tcp_drop, e, lan, wan, "tcp", name, fragment);
    if (!l.udp_log.ready(kWho) || !l.udp_drop.ready(kWho) || !l.tcp_log.ready(kWho) || !l.tcp_drop.ready(kWho))
        return;
    file.put(l.udp_log.c_str());
    if (both)
        file.put(l.tcp_log.c_str());
    file.put(l.udp_drop.c_str());
    if (both)
        file.put(l.tcp_drop.c_str());
}

// One pass over the entries, with the schedule FRAGMENT or none.
void write_entries(arnonat::File &file, EntryLines &lines, const char *fragment)
{
    char wan[ARNONAT_WAN_IFNAME_SIZE] = "";
    arnonat_getWanInterface(wan);
    wan[sizeof wan - 1] = '\0';
    const char *setting = zoltNvramConfig_get("fw_bks_block_service");
    char value[kBlockServiceValueMax + 1];
    size_t length = strnlen(setting, kBlockServiceValueMax + 1);
    if (length > kBlockServiceValueMax) {
        std::printf("block services: fw_bks_block_service longer than %zu characters, the entries past it are "
                    "not blocked\n",
                    kBlockServiceValueMax);
        length = kBlockServiceValueMax;
    }
    std::memcpy(value, setting, length);
    value[length] = '\0';

    BlockServiceEntries entries(value);
    BlockServiceEntry e;
    for (int number = 1; entries.next(e); ++number) {
        // Without a name and a protocol an entry would block every service.
        if (e.count < kProtocol || !field(e, kName) || !field(e, kProtocol)) {
            std::printf("block services: entry %d has only %d fields, it is skipped\n", number, e.count);
            continue;
        }
        write_entry(file, lines, e, wan, fragment);
    }
}

} // namespace

namespace arnonat::access {

bool BlockServiceEntries::next(BlockServiceEntry &entry)
{
    entry = BlockServiceEntry{};
    char *end = std::strchr(next_, '@');
    if (!end)
        return false;
    *end = '\0';
    char *text = next_;
    next_ = end + 1;
    // Fields 1 to 9 end at ";"; field 10 runs up to the "@".
    Tokens fields(std::string_view(text, static_cast<size_t>(end - text)), ";");
    std::string_view found[kBlockServiceFields];
    while (entry.count < kBlockServiceFields &&
           (entry.count < kBlockServiceFields - 1 ? fields.next(found[entry.count])
                                                  : fields.rest(found[entry.count])))
        ++entry.count;
    // Each field in place, ended where its ";" was.
    for (int i = 0; i < entry.count; ++i) {
        char *field = text + (found[i].data() - text);
        field[found[i].size()] = '\0';
        entry.field[i] = field;
    }
    return true;
}

} // namespace arnonat::access

extern "C" {

void fw_restore_space(char *name)
{
    if (!name)
        return;
    char decoded[kNameMax + 1];
    size_t n = 0;
    for (const char *p = name; *p && n < kNameMax; ++p) {
        char c = *p;
        if (c == '\\') {
            if (p[1] == 's') {
                c = '@';
                ++p;
            } else if (p[1] == 't') {
                c = ';';
                ++p;
            } else if (p[1] == '\\') {
                ++p;
            }
        }
        decoded[n++] = c;
    }
    decoded[n] = '\0';
    std::memcpy(name, decoded, n + 1);
}

int ARNONAT_ExecuteOneBlockServiceRule(int filter, int action)
{
    (void)filter;
    (void)action;
    return 0;
}

int ARNONAT_GenerateBlockServicesRules(const char *path)
{
    arnonat::File file = arnonat::open_rules(path, arnonat::kRulesOpenFailure);
    if (!file)
        return -1;
    const int mode = block_type();
    // Flushed whatever the mode, so the chain holds exactly the current rules.
    file.put("iptables -F BLOCK_SERVICE_CHAIN\n");
    if (mode != kModeScheduled && mode != kModeAlways)
        return file.finish(0);
    arnonat::HeapObject<EntryLines> lines;
    if (!lines) {
        std::printf("block services: no memory for the rule lines, no rules written\n");
        file.close();
        errno = ENOMEM;
        return -1;
    }
    if (mode == kModeScheduled) {
        build_block_service_cache();
        char first[ARNONAT_SCHEDULE_FRAGMENT_SIZE];
        char second[ARNONAT_SCHEDULE_FRAGMENT_SIZE];
        ARNONAT_GenerateScheduleRule(first, second);
        if (first[0])
            write_entries(file, *lines, first);
        if (second[0])
            write_entries(file, *lines, second);
    } else {
        write_entries(file, *lines, nullptr);
    }
    return file.finish(0);
}

} // extern "C"
