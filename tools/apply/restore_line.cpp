#include "tools/apply/restore_line.h"

#include <fnmatch.h>

#include <cstring>
#include <iterator>

#include "platform/shell_word.h"

namespace arnonat::apply {

const char *const kTableNames[kTableCount] = {"filter", "nat", "mangle", "raw", "security"};

namespace {

// The commands that change the rule set, as iptables-restore takes them.
constexpr const char *kCommands[] = {
    "-A", "--append", "-I", "--insert", "-D", "--delete", "-R", "--replace", "-N", "--new-chain",
    "-X", "--delete-chain", "-F", "--flush", "-Z", "--zero", "-P", "--policy", "-E", "--rename-chain",
};

// Options iptables-restore refuses or reads otherwise within a line, plus
// everything that names a table or a command (a second one is an error
// either way, and as an option's argument it is too odd to translate).
constexpr const char *kRefused[] = {
    "-t", "--table", "-w", "--wait", "-W", "--wait-interval", "-v", "--verbose", "-n", "--numeric",
    "-x", "--exact", "--line-numbers", "--modprobe", "-M", "-h", "--help", "-V", "--version",
    "-L", "--list", "-S", "--list-rules", "-C", "--check", "--ipv4", "--ipv6",
};

// Every entry starts with '-': the second character sorts most words out.
bool listed(const char *word, const char *const *list, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (list[i][1] == word[1] && !std::strcmp(word, list[i]))
            return true;
    return false;
}

template <size_t N>
bool listed(const char *word, const char *const (&list)[N])
{
    return listed(word, list, N);
}

// getopt takes any unambiguous start of a long option: "--tab" is --table.
bool abbreviates(const char *word, const char *const *list, size_t count)
{
    size_t len = std::strlen(word);
    for (size_t i = 0; i < count; ++i)
        if (list[i][1] == '-' && list[i][2] == word[2] && len < std::strlen(list[i]) &&
            !std::strncmp(word, list[i], len))
            return true;
    return false;
}

bool is_family_flag(const char *word, int family)
{
    return family == 4 ? !std::strcmp(word, "-4") || !std::strcmp(word, "--ipv4")
                       : !std::strcmp(word, "-6") || !std::strcmp(word, "--ipv6");
}

bool word_fits(const char *word)
{
    size_t len = std::strlen(word);
    if (len == 0 || len > kMaxWordLength)
        return false;
    for (const char *p = word; *p; ++p)
        if (static_cast<unsigned char>(*p) < 0x20 || *p == 0x7f)
            return false;
    return true;
}

// A word iptables would see as options bundled together (-nL) or as an
// option with its argument attached (-tnat).
bool is_bundle(const char *word)
{
    return word[0] == '-' && word[1] != '-' && word[1] != '\0' && word[2] != '\0' &&
           !(word[1] >= '0' && word[1] <= '9');
}

// Words arno's iptables function would split, expand or echo differently.
bool arno_would_alter(const char *word)
{
    return std::strpbrk(word, "~*?[\\") != nullptr;
}

// The shell-word helper's plain set and the `!` of negations.
bool is_plain_restore_char(unsigned char c)
{
    return c == '!' || is_plain_shell_char(c);
}

bool is_plain_restore_word(const char *word)
{
    for (const char *p = word; *p; ++p)
        if (!is_plain_restore_char(static_cast<unsigned char>(*p)))
            return false;
    return true;
}

// iptables-restore splits a line at blanks; a word between double quotes
// keeps its blanks, and a backslash takes the next character as it is.
size_t restore_word_length(const char *word)
{
    size_t len = std::strlen(word);
    if (is_plain_restore_word(word))
        return len;
    for (const char *p = word; *p; ++p)
        len += *p == '"' || *p == '\\';
    return len + 2;
}

void put_restore_word(const char *word, FILE *out)
{
    if (is_plain_restore_word(word)) {
        std::fputs(word, out);
        return;
    }
    std::fputc('"', out);
    for (const char *p = word; *p; ++p) {
        if (*p == '"' || *p == '\\')
            std::fputc('\\', out);
        std::fputc(*p, out);
    }
    std::fputc('"', out);
}

bool is_restore_word(const Part &part, int i)
{
    return i > 0 && (part.table_word == 0 || (i != part.table_word && i != part.table_word + 1));
}

// ip6tables_icmp_args: the IPv6 form of an ICMP command line.
void rewrite_icmp(Part &part)
{
    bool protocol = false;
    for (int i = 1; i < part.argc; ++i) {
        const char *arg = part.argv[i];
        if (protocol) {
            if (!std::strcmp(arg, "icmp"))
                part.argv[i] = "icmpv6";
            protocol = false;
        } else if (!std::strcmp(arg, "--icmp-type")) {
            part.argv[i] = "--icmpv6-type";
        } else if (!std::strcmp(arg, "-p") || !std::strcmp(arg, "--proto")) {
            protocol = true;
        }
    }
}

struct ArnoScan {
    int src = 0, dst = 0;
    const char *table = "";
    const char *proto = "";
    bool sound = true; // false: a value the function's tests could misread
};

// The option scan of arno's iptables function.
ArnoScan arno_scan(int argc, const char *const *argv)
{
    ArnoScan scan;
    char action = 0;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (action) {
            if (action == 's')
                scan.src = numeric_ip_version(arg);
            else if (action == 'd')
                scan.dst = numeric_ip_version(arg);
            else if (action == 't')
                scan.table = arg;
            else
                scan.proto = arg;
            action = 0;
            continue;
        }
        if (!std::strcmp(arg, "-s") || !std::strcmp(arg, "--source"))
            action = 's';
        else if (!std::strcmp(arg, "-d") || !std::strcmp(arg, "--destination"))
            action = 'd';
        else if (!std::strcmp(arg, "-t") || !std::strcmp(arg, "--table"))
            action = 't';
        else if (!std::strcmp(arg, "-p") || !std::strcmp(arg, "--proto"))
            action = 'p';
    }
    // The function compares with `[ "$proto" = ... ]`: a value such as "!"
    // or "(" could read as test's own syntax.
    for (const char *p = scan.proto; *p; ++p)
        if (!((*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9')))
            scan.sound = false;
    return scan;
}

void set_part(Part &part, int family, int argc, const char *const *argv, const char *name)
{
    part.family = family;
    part.argc = argc;
    for (int i = 0; i < argc; ++i)
        part.argv[i] = argv[i];
    part.argv[argc] = nullptr;
    if (name)
        part.argv[0] = name;
}

// Where arno's iptables function sends the command with IPv6 on.
bool route_like_arno(Translation &out, int argc, const char *const *argv)
{
    for (int i = 1; i < argc; ++i)
        if (arno_would_alter(argv[i]))
            return false;
    ArnoScan scan = arno_scan(argc, argv);
    if (!scan.sound)
        return false;
    bool icmp = !std::strcmp(scan.proto, "icmp");
    if (scan.src == 4 || scan.dst == 4 || !std::strcmp(scan.table, "nat")) {
        out.parts = 1;
        set_part(out.part[0], 4, argc, argv, "ip4tables");
    } else if (scan.src == 6 || scan.dst == 6 || !std::strcmp(scan.proto, "icmpv6")) {
        out.parts = 1;
        set_part(out.part[0], 6, argc, argv, "ip6tables");
        if (icmp)
            rewrite_icmp(out.part[0]);
    } else {
        out.parts = 2;
        set_part(out.part[0], 4, argc, argv, "ip4tables");
        set_part(out.part[1], 6, argc, argv, "ip6tables");
        if (icmp)
            rewrite_icmp(out.part[1]);
    }
    return true;
}

int table_index(const char *name)
{
    for (int i = 0; i < kTableCount; ++i)
        if (!std::strcmp(name, kTableNames[i]))
            return i;
    return -1;
}

bool restore_line_fits(const Part &part)
{
    size_t len = 0;
    for (int i = 1; i < part.argc; ++i)
        if (is_restore_word(part, i))
            len += restore_word_length(part.argv[i]) + 1;
    return len <= kMaxRestoreLine;
}

} // namespace

int numeric_ip_version(const char *text)
{
    // get_numeric_ip_version's case patterns, in their order.
    if (!fnmatch("0/0", text, 0))
        return 0;
    if (!fnmatch("[0-9][0-9.][0-9.][0-9.][0-9.]*.*[0-9]", text, 0))
        return 4;
    for (const char *pattern : {"[0-9]*.*/*[0-9]", "[0-9]/*[0-9]", "[1-9][0-9]/*[0-9]", "[12][0-9][0-9]/*[0-9]"})
        if (!fnmatch(pattern, text, 0))
            return 4;
    if (!fnmatch("*:*", text, 0))
        return 6;
    return 0;
}

Translation translate(Context context, int argc, const char *const *argv)
{
    Translation out;
    // The name is written back as a shell word too: it has to fit like the rest.
    if (argc < 2 || argc > kMaxRestoreWords || !word_fits(argv[0]))
        return out;
    int table = 0, table_word = 0, command = 1;
    if (!std::strcmp(argv[1], "-t") || !std::strcmp(argv[1], "--table")) {
        if (argc < 4 || (table = table_index(argv[2])) < 0)
            return out;
        table_word = 1;
        command = 3;
    }
    if (!listed(argv[command], kCommands))
        return out;
    for (int i = 1; i < argc; ++i) {
        const char *w = argv[i];
        if (!word_fits(w))
            return out;
        if (w[0] != '-' || i == command || i == table_word || (table_word && i == table_word + 1))
            continue;
        bool family_flag = is_family_flag(w, 4) || is_family_flag(w, 6);
        if (listed(w, kCommands) || (listed(w, kRefused) && !family_flag) || is_bundle(w))
            return out;
        if (w[0] == '-' && w[1] == '-' && w[2] &&
            (abbreviates(w, kCommands, std::size(kCommands)) || abbreviates(w, kRefused, std::size(kRefused))))
            return out;
    }

    const char *name = argv[0];
    int family = !std::strcmp(name, "ip6tables") ? 6 : 4;
    if (context == Context::ArnoIpv6 && !std::strcmp(name, "iptables")) {
        if (!route_like_arno(out, argc, argv))
            return Translation{};
    } else {
        out.parts = 1;
        const char *as = context == Context::Runner ? nullptr : family == 6 ? "ip6tables" : "ip4tables";
        set_part(out.part[0], family, argc, argv, as);
    }
    for (int i = 0; i < out.parts; ++i) {
        Part &part = out.part[i];
        part.table = table;
        part.table_word = table_word;
        for (int j = 1; j < part.argc; ++j)
            if (part.argv[j][0] == '-' && is_family_flag(part.argv[j], part.family == 4 ? 6 : 4))
                part.alone = true;
        if (!restore_line_fits(part))
            return Translation{};
    }
    return out;
}

void write_restore_line(const Part &part, FILE *out)
{
    bool first = true;
    for (int i = 1; i < part.argc; ++i) {
        if (!is_restore_word(part, i))
            continue;
        if (!first)
            std::fputc(' ', out);
        put_restore_word(part.argv[i], out);
        first = false;
    }
    std::fputc('\n', out);
}

void write_shell_line(const Part &part, FILE *out)
{
    char word[4 * kMaxWordLength + 3];
    for (int i = 0; i < part.argc; ++i) {
        // Words are at most kMaxWordLength long: the helper's quoted form fits.
        write_shell_word(word, part.argv[i]);
        if (i)
            std::fputc(' ', out);
        std::fputs(word, out);
    }
    std::fputc('\n', out);
}

} // namespace arnonat::apply
