// Simulator backend of the device calls: descriptors of the simulated
// engine's two devices.  Closing a descriptor that is not open is a fault of
// the library and stops the program at once.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/device.h"
#include "sim/dispatch.h"

namespace {

constexpr int kFirstDescriptor = 0x5a000;
constexpr int kDescriptors = 64;

struct Slot {
    bool open;
    natsim::Dev dev;
};
Slot g_slots[kDescriptors];

Slot *slot_of(int fd)
{
    int i = fd - kFirstDescriptor;
    if (i < 0 || i >= kDescriptors || !g_slots[i].open)
        return nullptr;
    return &g_slots[i];
}

} // namespace

namespace arnonat {

int device_open(const char *path)
{
    natsim::Dev dev;
    if (path && std::strcmp(path, AGAPI_NAT_DEVICE) == 0)
        dev = natsim::Dev::Nat;
    else if (path && std::strcmp(path, AGAPI_IPV6_DEVICE) == 0)
        dev = natsim::Dev::Ipv6;
    else {
        errno = ENOENT;
        return -1;
    }
    if (!natsim::device_present(dev)) {
        errno = ENOENT;
        return -1;
    }
    for (int i = 0; i < kDescriptors; ++i) {
        if (!g_slots[i].open) {
            g_slots[i] = Slot{true, dev};
            return kFirstDescriptor + i;
        }
    }
    errno = EMFILE;
    return -1;
}

int device_ioctl(int fd, uint32_t code, uintptr_t arg)
{
    Slot *slot = slot_of(fd);
    if (!slot) {
        errno = EBADF;
        return -1;
    }
    return natsim::ioctl_result(slot->dev, code, arg);
}

void device_close(int fd)
{
    Slot *slot = slot_of(fd);
    if (!slot) {
        std::fprintf(stderr, "natsim: descriptor %d closed but not open\n", fd);
        std::abort();
    }
    slot->open = false;
}

} // namespace arnonat
