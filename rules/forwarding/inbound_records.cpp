// The router's port forwarding entries (setting inbound_record), parsed into
// the process-wide table g_iPolicyRecord.
//
// The value is "count@rec@rec...", each record "id;extStart;extEnd;intStart;
// intEnd;protocol".  The table is never cleared: a reading overwrites the
// count and the fields it parses and leaves the rest as it was.
#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "arnonat_forwarding.h"
#include "platform/text_values.h"
#include "platform/tokens.h"
#include "zolt_nvram.h"

static_assert(sizeof(ArnonatInboundTable) == 5476, "inbound table layout");

extern "C" {
ArnonatInboundTable g_iPolicyRecord;
}

namespace {

// The router read the value through a work buffer of this size.
constexpr size_t kWorkBufferSize = 8192;

// The length of the value that is read.  A value too long for the work
// buffer is cut after its last whole record, so no record is read half.
size_t readable_length(const char *value)
{
    size_t len = std::strlen(value);
    if (len < kWorkBufferSize)
        return len;
    size_t cut = kWorkBufferSize - 1;
    if (value[cut] != '@') {
        size_t last = std::string_view(value, cut).rfind('@');
        if (last != std::string_view::npos)
            cut = last;
    }
    std::printf("inbound_record: value longer than %zu bytes, entries past it ignored\n",
                kWorkBufferSize - 1);
    return cut;
}

// TOKEN is a record inside the value: scanning stops at its '@' at the
// latest, since neither a number nor ';' matches it.
void read_record(const char *token, int k)
{
    ArnonatInboundTable &t = g_iPolicyRecord;
    int f[6] = {t.ruleId[k], t.extStart[k], t.extEnd[k], t.intStart[k], t.intEnd[k], t.protocol[k]};
    // Numbers that do not scan leave their fields as they were.
    std::sscanf(token, "%d;%d;%d;%d;%d;%d", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5]);
    t.ruleId[k] = f[0];
    t.extStart[k] = f[1];
    t.extEnd[k] = f[2];
    t.intStart[k] = f[3];
    t.intEnd[k] = f[4];
    t.protocol[k] = f[5];
}

} // namespace

extern "C" int ARNONAT_fwInboundReadFromRAM(void)
{
    const char *value = zoltNvramConfig_get("inbound_record");
    if (!*value)
        return 0;

    arnonat::Tokens records(std::string_view(value, readable_length(value)), "@");
    std::string_view token;
    if (!records.next(token))
        return 0;

    int count = arnonat::atoi_clamped(token);
    if (count > ARNONAT_INBOUND_MAX) {
        std::printf("inbound_record: %d entries, only the first %d are used\n", count,
                    ARNONAT_INBOUND_MAX);
        count = ARNONAT_INBOUND_MAX;
    }
    g_iPolicyRecord.count = count < 0 ? 0 : count;

    int k = 0;
    while (records.next(token)) {
        if (k == ARNONAT_INBOUND_MAX) {
            std::printf("inbound_record: more than %d records, the rest ignored\n",
                        ARNONAT_INBOUND_MAX);
            break;
        }
        read_record(token.data(), k++);
    }
    return 0;
}
