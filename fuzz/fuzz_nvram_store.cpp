// The settings store reader and writer: any bytes as the store file (written
// in place, so the reader must notice a rewrite that keeps the inode and,
// often, the size), then reads of the keys found and a write and removal of
// a key taken from the input.  What they give is the store's unit test.
#include <fcntl.h>

#include "fuzz/harness.h"
#include "zolt_nvram.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    int fd = ::open(fuzz::kStore.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    fuzz::check(fd >= 0 && ::write(fd, data, size) == static_cast<ssize_t>(size));
    ::close(fd);

    // Each read of a new value is kept for the life of the process: read a
    // few keys only, so a long run stays within memory.
    std::vector<std::string> keys = {"wan_ifname"};
    zoltNvramConfig_foreach([](const char *key, const char *, void *keys) {
        static_cast<std::vector<std::string> *>(keys)->push_back(key);
    }, &keys);
    char buf[16];
    for (size_t i = 0; i < keys.size() && i < 5; ++i) {
        zoltNvramConfig_match(keys[i].c_str(), zoltNvramConfig_get(keys[i].c_str()));
        zoltNvramConfig_read(keys[i].c_str(), buf, 1 + i * 3);
    }
    // A key (to the first NUL, at most 24 bytes) and a value carved from the
    // input, set and removed again.
    std::string key = fuzz::text(data, std::min<size_t>(size, 24)), value;
    for (size_t i = key.size() + 1; i < size && value.size() < 64; ++i)
        if (data[i])
            value.push_back(static_cast<char>(data[i]));
    if (zoltNvramConfig_set(key.c_str(), value.c_str()) == 0)
        zoltNvramConfig_unset(key.c_str());
    return 0;
}
