// The configuration run and the firewall script runner.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "arnonat.h"
#include "platform/fixed_file.h"
#include "platform/line_buffer.h"
#include "platform/rule_file.h"
#include "platform/run_lock.h"
#include "platform/shell_run.h"
#include "zolt_nvram.h"

using arnonat::File;

namespace {

// A stream into memory, freed exactly once.
class MemoryStream {
public:
    MemoryStream() : stream_(open_memstream(&data_, &size_)) {}
    MemoryStream(const MemoryStream &) = delete;
    MemoryStream &operator=(const MemoryStream &) = delete;
    ~MemoryStream()
    {
        close();
        std::free(data_);
    }
    FILE *stream() const { return stream_; }
    // Ends the stream: false when a write to it failed.
    bool close()
    {
        bool ok = stream_ && !std::ferror(stream_);
        if (stream_ && std::fclose(stream_) != 0)
            ok = false;
        stream_ = nullptr;
        return ok && data_;
    }
    const char *data() const { return data_; }
    size_t size() const { return size_; }

private:
    char *data_ = nullptr;
    size_t size_ = 0;
    FILE *stream_;
};

// Writes the NAT block into /tmp/extra_arno_config.  The block's writers take
// a plain stream, so it is built in memory and reaches the file in one
// checked write.
int write_base_config()
{
    static constexpr char kWho[] = "ARNONAT_GenerateConfigFile";
    arnonat::FixedFile config(ARNONAT_BASE_CONFIG_FILE);
    if (!config.create(kWho)) {
        std::puts("Failed to config file");
        return -1;
    }
    MemoryStream block;
    if (!block.stream()) {
        config.finish(kWho, -1); // errno tells why
        std::puts("Failed to config file");
        return -1;
    }
    if (ARNONAT_GenerateNatConfig(block.stream()) != 0) {
        std::puts("ARNONAT_GenerateNatConfig failed");
        return -1;
    }
    int result = -1;
    errno = ENOMEM;
    if (block.close()) {
        File file = File::open(config.temporary(), "w");
        file.write(block.data(), block.size());
        result = file.close();
    }
    if (!config.finish(kWho, result)) {
        std::puts("Failed to config file");
        return -1;
    }
    return 0;
}

// The WAN protections of a router name the WAN interface; without one they
// are written (the firewall script decides what an empty name means) but
// protect nothing, which the owner should hear of once per run.
void notice_unnamed_wan()
{
    if (zoltNvramConfig_match("router_mode", "0"))
        return;
    char wan[ARNONAT_WAN_IFNAME_SIZE] = "";
    arnonat_getWanInterface(wan);
    if (!wan[0])
        std::puts("arnonat: wan_ifname is empty in router mode: the WAN rules name no interface and do not protect the router");
}

} // namespace

extern "C" int ARNONAT_GenerateConfigFile(int mode)
{
    arnonat::RunLock lock;
    if (!lock.acquire())
        return -1;
    // The base configuration file is complete before the custom rules are
    // built.
    if (write_base_config() != 0)
        return -1;
    notice_unnamed_wan();
    if (ARNONAT_GenerateCustomRules(mode) != 0) {
        std::puts("ARNONAT_GenerateCustomRules failed");
        return -1;
    }
    return 0;
}

extern "C" int ARNONAT_RunArno(int mode, const char *suffix)
{
    const char *action = mode == ARNONAT_MODE_START  ? "start"
                         : mode == ARNONAT_MODE_STOP ? "stop"
                                                     : "restart";
    arnonat::LineBuffer<128> command;
    command.append("%s %s %s", ARNONAT_FIREWALL_SCRIPT, action, suffix ? suffix : "");
    if (!command.ready(__func__))
        return 0;
    std::printf("ARNONAT_RunArno 588 cmd: %s\n", command.c_str());
    arnonat::run_command(command.c_str());
    return 0;
}
