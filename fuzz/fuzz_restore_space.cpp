// Any service name: fw_restore_space stays within the name, decodes as the
// escapes say and cuts to 95 characters.
#include "arnonat.h"
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string name = fuzz::text(data, size), expected;
    for (size_t i = 0; i < name.size() && expected.size() < 95; ++i) {
        char next = i + 1 < name.size() ? name[i + 1] : '\0';
        bool escape = name[i] == '\\' && (next == 's' || next == 't' || next == '\\');
        expected += escape ? (next == 's' ? '@' : next == 't' ? ';' : '\\') : name[i];
        i += escape;
    }
    // Exactly the name's bytes, so a read or write past it is caught.
    std::vector<char> buffer(name.c_str(), name.c_str() + name.size() + 1);
    fw_restore_space(buffer.data());
    fuzz::check(expected == buffer.data());
    return 0;
}
