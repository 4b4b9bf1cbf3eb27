// Cost of one library call through the kernel backend (open the control
// device, one ioctl, close) against the same three bare system calls.
//
// The control device is stood in for by /dev/null bound over its path in a
// private mount namespace (needs root), so every ioctl is refused by the
// kernel at the same cost for both sides.  Run: device_call_bench [calls]
#include <fcntl.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "agapi.h"

namespace {

bool stand_in_device()
{
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    if (::mount("tmpfs", "/mnt", "tmpfs", 0, nullptr) != 0)
        return false;
    if (::mount("/dev", "/mnt", nullptr, MS_BIND | MS_REC, nullptr) != 0)
        return false;
    if (::mount("tmpfs", "/dev", "tmpfs", 0, nullptr) != 0)
        return false;
    int fd = ::open(AGAPI_NAT_DEVICE, O_CREAT | O_WRONLY, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return ::mount("/mnt/null", AGAPI_NAT_DEVICE, nullptr, MS_BIND, nullptr) == 0;
}

template <typename F>
double seconds(long calls, F f)
{
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < calls; ++i)
        f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    long calls = argc > 1 ? std::atol(argv[1]) : 200000;
    if (calls <= 0)
        calls = 200000;
    if (!stand_in_device()) {
        std::printf("device_call_bench: needs root for a private mount namespace; nothing measured\n");
        return 0;
    }
    const unsigned long code = 0x8004644A; // the WAN/LAN conflict flag: class Q, silent
    auto bare = [code] {
        int fd = ::open(AGAPI_NAT_DEVICE, O_RDWR | O_CLOEXEC);
        (void)::ioctl(fd, code, 1UL);
        ::close(fd);
    };
    auto library = [] { (void)agApi_natSetWanLanConflictFlag(1); };
    seconds(calls / 10, bare); // warm up the paths and caches
    seconds(calls / 10, library);
    double b = seconds(calls, bare);
    double l = seconds(calls, library);
    std::printf("calls: %ld\n", calls);
    std::printf("bare open+ioctl+close: %.1f ns per call\n", b * 1e9 / static_cast<double>(calls));
    std::printf("library call:          %.1f ns per call\n", l * 1e9 / static_cast<double>(calls));
    std::printf("ratio library/bare:    %.3f\n", l / b);
    return 0;
}
