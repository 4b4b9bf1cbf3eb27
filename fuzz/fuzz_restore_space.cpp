// Any service name: fw_restore_space stays within the name, decodes as the
// escapes say and cuts to 95 characters.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "arnonat.h"

namespace {

std::string expected(const std::string &name)
{
    std::string out;
    for (size_t i = 0; i < name.size() && out.size() < 95; ++i) {
        char c = name[i];
        if (c == '\\' && i + 1 < name.size()) {
            char next = name[i + 1];
            if (next == 's' || next == 't' || next == '\\') {
                out += next == 's' ? '@' : next == 't' ? ';' : '\\';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string name(reinterpret_cast<const char *>(data), size);
    name = name.substr(0, name.find('\0'));
    // Exactly the name's bytes, so a read or write past it is caught.
    char *buffer = static_cast<char *>(std::malloc(name.size() + 1));
    if (!buffer)
        return 0;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    fw_restore_space(buffer);
    if (expected(name) != buffer)
        std::abort();
    std::free(buffer);
    return 0;
}
