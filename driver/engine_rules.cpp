// Exported NAT engine functions that also apply firewall rules at once: each
// gives the engine its command (natapi/) and then runs the generator of the
// matching rules (rules/).  They live in the top layer so that the engine
// library never calls a generator.
#include <cstdio>

#include "agapi.h"
#include "arnonat_access.h"
#include "arnonat_forwarding.h"
#include "natapi/natapi.h"

namespace {

// The block-services rules are told about filter changes with these actions.
constexpr int kFilterAdded = 1;
constexpr int kFilterLeaving = 2;

} // namespace

extern "C" {

int agApi_natRuleAdd2(int argc, char *const argv[])
{
    bool reached = false;
    int result = arnonat::natapi::send_nat_rule_words(argc, argv, reached);
    // The forwarding rule goes into the firewall whatever the engine said.
    if (reached)
        ARNONAT_ExecuteOnePortForwardRule(argc, argv);
    return result;
}

// The first session's filter changes are announced to the block-services
// rules; the second session's (natapi/filters_block_services.cpp) are not.
int agApi_fwFilterAdd(const FwFilterRecord *record, int filter)
{
    bool reached = false;
    int result = arnonat::natapi::send_filter_add(record, filter, reached);
    if (reached)
        ARNONAT_ExecuteOneBlockServiceRule(filter, kFilterAdded);
    return result;
}

int agApi_fwFilterMod(int index, const FwFilterRecord *record)
{
    ARNONAT_ExecuteOneBlockServiceRule(index, kFilterLeaving);
    int result = arnonat::natapi::send_filter_modify(index, record);
    if (result == 1)
        ARNONAT_ExecuteOneBlockServiceRule(index, kFilterAdded);
    return result;
}

int agApi_fwFilterDel(int index)
{
    ARNONAT_ExecuteOneBlockServiceRule(index, kFilterLeaving);
    return arnonat::natapi::send_filter_delete(index);
}

int agApi_setDeviceListenPort_2(int32_t port_index, int32_t port_number, int32_t enable,
                                const char *scope, const char *first_address,
                                const char *last_address)
{
    std::printf("port_idx: %d, port_num: %d, enable: %d\n", static_cast<int>(port_index),
                static_cast<int>(port_number), static_cast<int>(enable));
    int result = 0;
    // A missing device or a refused port leaves the firewall as it is.
    if (!arnonat::natapi::send_listen_port(port_index, port_number, enable, result))
        return result;
    arnonat_addInputListenPort_2(result, port_index, port_number, enable, scope, first_address,
                                 last_address);
    return result;
}

} // extern "C"
