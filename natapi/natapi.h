// What the layers above use of the NAT engine library besides its exported
// agApi_ functions: the engine's listen port list, read by the listen port
// rules, and the engine halves of the exported functions that also apply
// firewall rules at once.  Those functions join an engine half with a
// generator in the top layer (driver/engine_rules.cpp), so that nothing here
// calls a generator.
#pragma once

#include <cstdint>

#include "agapi.h"
#include "platform/heap_buffer.h"

namespace arnonat::natapi {

// The engine's listen port list as command 0x24 returns it: two arrays of
// sixteen 16-bit ports and a 32-bit entry count.
class ListenPortList {
public:
    // Allocates the three buffers; on failure prints the malloc notice
    // naming WHO.
    bool allocate(const char *who);
    // Field 0 the first ports (length 4), field 1 the second ports (length
    // 0), field 2 the count (length 4); the count word stays 0.
    void attach(AgIoctlMsg &message) const;
    // Allocates and reads the list with agApi_fwListenPortList2, its
    // messages included.  False when a buffer cannot be had or the engine
    // gave no list.
    bool read(const char *who);

    // Entries the engine reported, never more than the arrays hold.
    int entries() const;
    int first(int i) const { return static_cast<const uint16_t *>(first_.get())[i]; }
    int second(int i) const { return static_cast<const uint16_t *>(second_.get())[i]; }

    void print() const;

private:
    HeapBuffer first_, second_, count_;
};

// agApi_natRuleAdd2 without its port forwarding rule: the words go to the
// engine as a command line.  REACHED tells whether the device was opened;
// the result is as agApi_natRuleAdd2 answers it.
int send_nat_rule_words(int argc, char *const argv[], bool &reached);

// The first session's filter add, change and delete as the engine gets
// them, without telling the block-services rules.  REACHED tells whether
// the device was opened; the results are those of the exported functions.
int send_filter_add(const FwFilterRecord *record, int filter, bool &reached);
int send_filter_modify(int index, const FwFilterRecord *record);
int send_filter_delete(int index);

// The engine half of agApi_setDeviceListenPort_2.  True with RESULT the
// engine's result, or the negative status it wrote back, when the engine
// took the port; false with RESULT the function's answer when the device
// cannot be opened (0) or the engine refused the port (its negative result,
// with its notice).
bool send_listen_port(int32_t port_index, int32_t port_number, int32_t enable, int &result);

} // namespace arnonat::natapi
