// Reading of the port triggering policies into the trigger policy table.
//
// The values are scanned the way the router's pages write them, with the
// rules of sscanf: numbers skip leading blanks and take an optional sign,
// the name runs to the next ':' and the rest is one blank-free word.  The
// scanner works on the value in place and never goes past its end; only the
// name is copied, cut to its 61 characters.
#include "rules/forwarding/port_trigger_policy.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/text_values.h"
#include "zolt_nvram.h"

namespace arnonat {

TriggerPolicy g_triggerPolicy[kTriggerPolicyMax];

namespace {

// More keys than this are not read: a count beyond it is taken as a damaged
// setting, not as policies to look for.
constexpr int kPolicyKeysMax = 100;

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Values are accumulated up to this bound and held there: enough to tell
// every field's range from a too large value, never an overflow.
constexpr long long kValueCap = 1LL << 40;

class Cursor {
public:
    Cursor(const char *begin, const char *end) : p_(begin), end_(end) {}

    bool at_end() const { return p_ == end_; }
    char peek() const { return p_ < end_ ? *p_ : '\0'; }

    bool literal(char c)
    {
        if (peek() != c)
            return false;
        ++p_;
        return true;
    }

    // Like sscanf's %d: blanks, an optional sign, at least one digit.
    bool number(long long &value)
    {
        skip_blanks();
        bool negative = peek() == '-';
        if (peek() == '-' || peek() == '+')
            ++p_;
        if (peek() < '0' || peek() > '9')
            return false;
        long long v = 0;
        for (; p_ < end_ && *p_ >= '0' && *p_ <= '9'; ++p_)
            if (v < kValueCap)
                v = v * 10 + (*p_ - '0');
        value = negative ? -v : v;
        return true;
    }

    // Like sscanf's %lx, without a sign: blanks, an optional 0x, at least
    // one hexadecimal digit.
    bool hex(long long &value)
    {
        skip_blanks();
        if (peek() == '0' && p_ + 2 < end_ && (p_[1] == 'x' || p_[1] == 'X') && hex_digit(p_[2]) >= 0)
            p_ += 2;
        if (hex_digit(peek()) < 0)
            return false;
        long long v = 0;
        for (int d; p_ < end_ && (d = hex_digit(*p_)) >= 0; ++p_)
            if (v < kValueCap)
                v = v * 16 + d;
        value = v;
        return true;
    }

    // Like sscanf's %[^:]: at least one character, up to the next ':'; the
    // copy is cut to fit OUT.
    template <size_t N>
    bool field_text(char (&out)[N])
    {
        const char *start = p_;
        while (p_ < end_ && *p_ != ':')
            ++p_;
        size_t len = static_cast<size_t>(p_ - start);
        if (len > N - 1)
            len = N - 1;
        std::memcpy(out, start, len);
        out[len] = '\0';
        return p_ != start;
    }

    // Like sscanf's %s: blanks, then at least one non-blank character.
    bool word(Cursor &out)
    {
        skip_blanks();
        const char *start = p_;
        while (p_ < end_ && !is_blank(*p_))
            ++p_;
        out = Cursor(start, p_);
        return p_ != start;
    }

private:
    void skip_blanks()
    {
        while (p_ < end_ && is_blank(*p_))
            ++p_;
    }

    const char *p_;
    const char *end_;
};

bool fits(long long value, long long max)
{
    return value >= 0 && value <= max;
}

// "<letter>%d:%d:%d:%d:%d:%s": five numbers and an optional rest.
bool scan_part(Cursor &text, char letter, long long (&n)[5], Cursor &rest)
{
    if (!text.literal(letter))
        return false;
    for (int k = 0; k < 5; ++k)
        if ((k > 0 && !text.literal(':')) || !text.number(n[k]))
            return false;
    rest = Cursor(nullptr, nullptr);
    if (text.literal(':'))
        text.word(rest);
    return true;
}

// The first number of a part is not used.
bool scan_outbound(Cursor &text, TriggerPolicy &r)
{
    long long n[5];
    Cursor rest(nullptr, nullptr);
    if (!scan_part(text, 'O', n, rest) || !fits(n[1], 0xff) || !fits(n[2], 0xff) ||
        !fits(n[3], 0xffff) || !fits(n[4], 0xffff))
        return false;
    r.bOutEnable = static_cast<uint8_t>(n[1]);
    r.bOutProto = static_cast<uint8_t>(n[2]);
    r.usOutStartPort = static_cast<uint16_t>(n[3]);
    r.usOutEndPort = static_cast<uint16_t>(n[4]);
    return true;
}

bool scan_inbound(Cursor &text, TriggerPolicy &r, Cursor &rest)
{
    long long n[5];
    if (!scan_part(text, 'I', n, rest) || !fits(n[1], 0xff) || !fits(n[2], 0xff) ||
        !fits(n[3], 0xffff) || !fits(n[4], 0xffff))
        return false;
    r.bInEnable = static_cast<uint8_t>(n[1]);
    r.bInProto = static_cast<uint8_t>(n[2]);
    r.usInStartPort = static_cast<uint16_t>(n[3]);
    r.usInEndPort = static_cast<uint16_t>(n[4]);
    return true;
}

int keys_to_read(const char *count_key)
{
    int count = atoi_clamped(zoltNvramConfig_get(count_key));
    if (count > kPolicyKeysMax) {
        std::printf("Port trigger: %s %d too large, only the first %d policies are read\n", count_key,
                    count, kPolicyKeysMax);
        return kPolicyKeysMax;
    }
    return count;
}

// The default policies are only looked at: the router writes no rules for
// them.
void read_default_policies()
{
    if (atoi_clamped(zoltNvramConfig_get("fwpt_df_count")) == 0) {
        std::puts("Info: No FWPT default policies.");
        return;
    }
    int count = keys_to_read("fwpt_df_count");
    for (int i = 0; i < count; ++i) {
        char key[sizeof "fwpt_df" + 11];
        std::snprintf(key, sizeof key, "fwpt_df%d", i);
        const char *value = zoltNvramConfig_get(key);
        Cursor text(value, value + std::strlen(value));
        long long number = 0, mode = 0, address = 0;
        char name[kTriggerNameSize];
        (void)(text.number(number) && text.literal(':') && text.field_text(name) &&
               text.literal(':') && text.number(mode) && text.literal(':') && text.hex(address));
    }
}

void reset_table()
{
    std::memset(g_triggerPolicy, 0, sizeof g_triggerPolicy);
    for (TriggerPolicy &r : g_triggerPolicy)
        r.iNext = -1;
}

} // namespace

PolicyScan scan_trigger_policy(const char *value, TriggerPolicy &r)
{
    Cursor text(value, value + std::strlen(value));
    long long number = 0, mode = 0, address = 0, protocol = 0, port = 0;
    Cursor rest(nullptr, nullptr);
    if (!(text.number(number) && text.literal(':') && text.field_text(r.sName) &&
          text.literal(':') && text.number(mode) && text.literal(':') && text.hex(address) &&
          text.literal(':') && text.number(protocol) && text.literal(':') && text.number(port) &&
          text.literal(':') && text.word(rest)))
        return PolicyScan::bad_policy;
    if (!fits(mode, 0xff) || !fits(address, 0xffffffff) || !fits(protocol, 0xff) || !fits(port, 0xffff))
        return PolicyScan::bad_policy;

    // The policy number is not used by the rules; it keeps its low 8 bits.
    r.bPolicyNo = static_cast<uint8_t>(number);
    r.bHostMode = static_cast<uint8_t>(mode);
    r.ulHostAddr = static_cast<uint32_t>(address);
    r.bTrigProto = static_cast<uint8_t>(protocol);
    r.usTrigPort = static_cast<uint16_t>(port);

    if (rest.peek() == 'I') {
        Cursor after(nullptr, nullptr);
        if (!scan_inbound(rest, r, after))
            return PolicyScan::bad_inbound;
        if (after.peek() == 'O' && !scan_outbound(after, r))
            return PolicyScan::bad_outbound;
    } else if (rest.peek() == 'O') {
        if (!scan_outbound(rest, r))
            return PolicyScan::bad_outbound;
    }
    return PolicyScan::accepted;
}

int read_trigger_policies()
{
    reset_table();
    read_default_policies();

    int count = keys_to_read("fwpt_count");
    int stored = 0;
    for (int i = 0; i < count; ++i) {
        if (stored == kTriggerPolicyMax) {
            std::printf("Port trigger: table full with %d policies, fwpt%d and later not read\n",
                        kTriggerPolicyMax, i);
            break;
        }
        char key[sizeof "fwpt" + 11];
        std::snprintf(key, sizeof key, "fwpt%d", i);
        TriggerPolicy record{};
        switch (scan_trigger_policy(zoltNvramConfig_get(key), record)) {
        case PolicyScan::bad_policy:
            std::printf("Invalid policy record (%s)\n", key);
            continue;
        case PolicyScan::bad_inbound:
            std::printf("Invalid inbound connections (%s)\n", key);
            continue;
        case PolicyScan::bad_outbound:
            std::printf("invalid outbound conn (%s)\n", key);
            continue;
        case PolicyScan::accepted:
            break;
        }
        // A dropped policy takes no record, so the list has no gaps.
        record.bInUse = 1;
        record.bReserved = 0;
        record.iNext = stored + 1;
        g_triggerPolicy[stored++] = record;
    }
    if (stored > 0)
        g_triggerPolicy[stored - 1].iNext = -1;
    return stored;
}

} // namespace arnonat
