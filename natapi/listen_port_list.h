// The engine's listen port list as command 0x24 returns it: two arrays of
// sixteen 16-bit ports and a 32-bit entry count.
#pragma once

#include <cstdint>

#include "agapi.h"
#include "natapi/heap_buffer.h"

namespace arnonat::natapi {

class ListenPortList {
public:
    // Allocates the three buffers; on failure prints the malloc notice
    // naming WHO.
    bool allocate(const char *who);
    // Field 0 the first ports (length 4), field 1 the second ports (length
    // 0), field 2 the count (length 4); the count word stays 0.
    void attach(AgIoctlMsg &message) const;

    // Entries the engine reported, never more than the arrays hold.
    int entries() const;
    int first(int i) const { return static_cast<const uint16_t *>(first_.get())[i]; }
    int second(int i) const { return static_cast<const uint16_t *>(second_.get())[i]; }

    void print() const;

private:
    HeapBuffer first_, second_, count_;
};

} // namespace arnonat::natapi
