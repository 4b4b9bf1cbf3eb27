// The three calls through which the library reaches the NAT engine: open a
// device path, issue one ioctl, close.  The router's build implements them
// with the kernel's calls (platform/device.cpp); the simulator library
// implements them with an in-process engine (sim/).
#pragma once

#include <cstdint>

namespace arnonat {

// Opens PATH for reading and writing; a descriptor, or -1 with errno.
int device_open(const char *path);

// Issues request CODE with argument ARG; the ioctl's result (negative when
// the device refused the request).
int device_ioctl(int fd, uint32_t code, uintptr_t arg);

void device_close(int fd);

} // namespace arnonat
