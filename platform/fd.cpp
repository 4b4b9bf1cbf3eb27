#include "platform/fd.h"

#include <unistd.h>

#include <cerrno>

namespace arnonat {

void Fd::reset(int fd)
{
    close();
    fd_ = fd;
}

int Fd::release()
{
    int fd = fd_;
    fd_ = -1;
    return fd;
}

int Fd::close()
{
    int rc = fd_ >= 0 ? ::close(fd_) : 0;
    fd_ = -1;
    return rc;
}

bool write_all(int fd, const char *data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

Copy copy_all(int in, int out)
{
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Copy::read_failed;
        if (n == 0)
            return Copy::done;
        if (!write_all(out, buffer, static_cast<size_t>(n)))
            return Copy::write_failed;
    }
}

} // namespace arnonat
