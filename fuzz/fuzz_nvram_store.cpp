// The settings store reader and writer: any bytes as the store file (written
// in place, so the reader must notice a rewrite that keeps the inode and,
// often, the size), then reads of the keys found and a write and removal of
// a key taken from the input.  The reads must agree with each other.
#include <fcntl.h>

#include <algorithm>

#include "fuzz/harness.h"
#include "zolt_nvram.h"

using Settings = std::vector<std::pair<std::string, std::string>>;

static Settings all_settings()
{
    Settings all;
    fuzz::check(zoltNvramConfig_foreach([](const char *key, const char *value, void *all) {
        static_cast<Settings *>(all)->emplace_back(key, value);
    }, &all) == 0);
    return all;
}

static void check_key(const std::string &key, bool present)
{
    const char *value = zoltNvramConfig_get(key.c_str());
    fuzz::check((zoltNvramConfig_match(key.c_str(), value) != 0) == present && (present || !*value));
    for (size_t size : {1u, 10u, 16u, 32u, 256u}) {
        char buf[256];
        zoltNvramConfig_read(key.c_str(), buf, size);
        fuzz::check(std::string(buf) == std::string(value).substr(0, size - 1));
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    int fd = ::open(fuzz::kStore.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    fuzz::check(fd >= 0 && ::write(fd, data, size) == static_cast<ssize_t>(size));
    ::close(fd);

    const Settings before = all_settings();
    for (size_t i = 1; i < before.size(); ++i)
        fuzz::check(before[i - 1].first < before[i].first);
    // Each read of a new value is kept for the life of the process: look at
    // a few keys only, so a long run stays within memory.
    for (size_t i = 0; i < before.size() && i < 4; ++i)
        check_key(before[i].first, true);
    check_key("wan_ifname", std::any_of(before.begin(), before.end(), [](auto &kv) { return kv.first == "wan_ifname"; }));

    // A key (to the first NUL, at most 24 bytes) and a value carved from the
    // input, set and removed again: every other setting comes through the
    // rewrite of the store unchanged.
    std::string key = fuzz::text(data, std::min<size_t>(size, 24)), value;
    for (size_t i = key.size() + 1; i < size && value.size() < 64; ++i)
        if (data[i])
            value.push_back(static_cast<char>(data[i]));
    int rc = zoltNvramConfig_set(key.c_str(), value.c_str());
    fuzz::check((rc == 0) == (!key.empty() && key.find_first_of("=\n") == std::string::npos));
    if (rc != 0)
        return 0;
    fuzz::check(value == zoltNvramConfig_get(key.c_str()) && zoltNvramConfig_unset(key.c_str()) == 0 &&
                !zoltNvramConfig_match(key.c_str(), "") && !*zoltNvramConfig_get(key.c_str()));
    Settings expected = before;
    std::erase_if(expected, [&](const auto &kv) { return kv.first == key; });
    fuzz::check(all_settings() == expected);
    return 0;
}
