// Fuzzes the settings store reader and writer: any bytes as the store file,
// then reads of the keys found and a write and removal of a key taken from
// the input.  Besides not crashing, the reads must agree with each other.

#include "zolt_nvram.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string g_dir;
std::string g_store;

void remove_store_dir()
{
    unlink(g_store.c_str());
    unlink((g_store + ".lock").c_str());
    rmdir(g_dir.c_str());
}

void prepare_store_path()
{
    if (!g_store.empty())
        return;
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_nvram.XXXXXX";
    if (!mkdtemp(pattern.data()))
        abort();
    g_dir = pattern;
    g_store = g_dir + "/store";
    setenv("ZOLT_NVRAM_FILE", g_store.c_str(), 1);
    atexit(remove_store_dir);
}

// Written in place on purpose: the reader must notice a rewrite that keeps
// the inode and, often, the size.
void write_store(const uint8_t *data, size_t size)
{
    int fd = open(g_store.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        abort();
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n <= 0)
            abort();
        data += n;
        size -= size_t(n);
    }
    close(fd);
}

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void check_key(const std::string &key, bool present)
{
    const char *value = zoltNvramConfig_get(key.c_str());
    check((zoltNvramConfig_match(key.c_str(), value) != 0) == present);
    check(present || value[0] == '\0');
    size_t len = strlen(value);
    for (size_t size : {1u, 10u, 16u, 32u, 256u}) {
        char buf[256];
        zoltNvramConfig_read(key.c_str(), buf, size);
        size_t want = len < size - 1 ? len : size - 1;
        check(strlen(buf) == want && memcmp(buf, value, want) == 0);
    }
}

using Settings = std::vector<std::pair<std::string, std::string>>;

Settings all_settings()
{
    Settings all;
    auto collect = [](const char *key, const char *value, void *ctx) {
        static_cast<Settings *>(ctx)->emplace_back(key, value);
    };
    check(zoltNvramConfig_foreach(collect, &all) == 0);
    return all;
}

// A key and a value carved from the input (the key runs to the first NUL, at
// most 24 bytes), set and removed again: every other setting must come
// through the rewrite of the store unchanged.
void check_write(const uint8_t *data, size_t size, const Settings &before)
{
    size_t cut = 0;
    while (cut < size && cut < 24 && data[cut] != 0)
        ++cut;
    std::string key(reinterpret_cast<const char *>(data), cut);
    std::string value;
    for (size_t i = cut + 1; i < size && value.size() < 64; ++i)
        if (data[i] != 0)
            value.push_back(char(data[i]));
    bool valid = !key.empty() && key.find_first_of("=\n") == std::string::npos;
    int rc = zoltNvramConfig_set(key.c_str(), value.c_str());
    check(valid == (rc == 0));
    if (rc != 0)
        return;
    check(strcmp(zoltNvramConfig_get(key.c_str()), value.c_str()) == 0);
    check(zoltNvramConfig_unset(key.c_str()) == 0);
    check(!zoltNvramConfig_match(key.c_str(), ""));
    check(zoltNvramConfig_get(key.c_str())[0] == '\0');
    Settings expected = before;
    std::erase_if(expected, [&](const auto &kv) { return kv.first == key; });
    check(all_settings() == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    prepare_store_path();
    write_store(data, size);

    const Settings before = all_settings();
    for (size_t i = 1; i < before.size(); ++i)
        check(before[i - 1].first < before[i].first);
    // Each read of a new value is kept for the life of the process: look at a
    // few keys only, so a long run stays within memory.
    for (size_t i = 0; i < before.size() && i < 4; ++i)
        check_key(before[i].first, true);
    bool has_wan = std::any_of(before.begin(), before.end(),
                               [](const auto &kv) { return kv.first == "wan_ifname"; });
    check_key("wan_ifname", has_wan);
    check_write(data, size, before);
    return 0;
}
