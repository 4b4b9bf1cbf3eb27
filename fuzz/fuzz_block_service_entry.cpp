// Any fw_bks_block_service value, walked entry by entry and written as
// block-service lines, and read as a service name by fw_restore_space.  What
// they give is the case files' and the service name test's.
#include "arnonat.h"
#include "fuzz/harness.h"
#include "rules/access/block_service_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text = fuzz::text(data, size);
    // Exactly the text's bytes, so a read or write past them is caught.
    std::vector<char> name(text.c_str(), text.c_str() + text.size() + 1), value = name;
    fw_restore_space(name.data());
    arnonat::access::BlockServiceEntries entries(value.data());
    for (arnonat::access::BlockServiceEntry e; entries.next(e);) {
    }
    fuzz::write_store({{"fw_bks_block_type", "2"}, {"fw_bks_block_service", text}});
    fuzz::generated(ARNONAT_GenerateBlockServicesRules);
    return 0;
}
