// Kernel backend of the device calls: what the router runs.
#include "platform/device.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace arnonat {

int device_open(const char *path)
{
    return ::open(path, O_RDWR | O_CLOEXEC);
}

int device_ioctl(int fd, uint32_t code, uintptr_t arg)
{
    // musl declares the request as int, glibc as unsigned long; the 32-bit
    // code converts to either here and nowhere else.
    return ::ioctl(fd, code, arg);
}

void device_close(int fd)
{
    ::close(fd);
}

} // namespace arnonat
