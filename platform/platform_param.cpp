// Platform parameter queries (stand-in for the platform's libzolt_shared).

#include "zolt_shared.h"

#include "zolt_nvram.h"

#include <cstdlib>
#include <cstring>

namespace {

// The NAT hook copies the interface name into a 100-byte buffer.
constexpr size_t kNatIfnameMax = 99;

const char kDefaultNatIfname[] = "eth0";

// Cut names given out so far.  Callers may keep an answer for the life of
// the process, so none is freed; each distinct cut name is kept once.
struct CutName {
    CutName *next;
    char text[kNatIfnameMax + 1];
};

CutName *g_cut_names = nullptr;

const char *cut_name(const char *name)
{
    for (CutName *c = g_cut_names; c; c = c->next)
        if (strncmp(c->text, name, kNatIfnameMax) == 0)
            return c->text;
    CutName *c = static_cast<CutName *>(malloc(sizeof(CutName)));
    if (!c)
        return "";
    memcpy(c->text, name, kNatIfnameMax);
    c->text[kNatIfnameMax] = '\0';
    c->next = g_cut_names;
    g_cut_names = c;
    return c->text;
}

}  // namespace

extern "C" const char *get_platform_param(int param)
{
    if (param != ZOLT_PARAM_NAT_IFNAME)
        return "";
    const char *name = zoltNvramConfig_get("wan_ifname");
    if (name[0] == '\0')
        return kDefaultNatIfname;
    // The store's own text stays valid and unchanged; only a name too long
    // for the hook needs a cut copy.
    if (strnlen(name, kNatIfnameMax + 1) <= kNatIfnameMax)
        return name;
    return cut_name(name);
}
