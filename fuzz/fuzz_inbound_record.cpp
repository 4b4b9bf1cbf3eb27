// Any inbound_record value: the reader stays inside its work buffer and
// the 171 entries of the table.
#include "arnonat.h"
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::write_store({{"inbound_record", std::string(reinterpret_cast<const char *>(data), size)}});
    ARNONAT_fwInboundReadFromRAM();
    fuzz::check(g_iPolicyRecord.count >= 0 && g_iPolicyRecord.count <= ARNONAT_INBOUND_MAX);
    return 0;
}
