// The service entries of fw_bks_block_service: ten fields separated by ";",
// each entry ending with "@".  Empty fields are skipped as strtok would;
// every field stays within its own entry.
#pragma once

#include <cstddef>

namespace arnonat::access {

// Longest settings value read, without terminator.
constexpr size_t kBlockServiceValueMax = 2047;
constexpr int kBlockServiceFields = 10;

struct BlockServiceEntry {
    // Fields 1 to 10 as texts inside the entry (null when absent).
    const char *field[kBlockServiceFields];
    int count; // fields present
};

// Walks the entries of a value, splitting it in place.
class BlockServiceEntries {
public:
    // VALUE is a writable NUL-terminated copy of the setting.
    explicit BlockServiceEntries(char *value) : next_(value) {}
    // The next entry, or false after the last "@".
    bool next(BlockServiceEntry &entry);

private:
    char *next_;
};

} // namespace arnonat::access
