// ARNONAT_cp: byte copy of a file onto a path that must not exist yet.
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "arnonat.h"

namespace {

// A descriptor closed exactly once.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { close(); }
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    int close()
    {
        int rc = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

bool write_all(int fd, const char *data, ssize_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// Closes both files without disturbing the error number of the failure.
int fail(Fd &source, Fd &destination)
{
    int saved = errno;
    destination.close();
    source.close();
    errno = saved;
    return -1;
}

} // namespace

extern "C" int ARNONAT_cp(const char *destination, const char *source)
{
    Fd in(::open(source, O_RDONLY));
    if (!in.ok())
        return -1;
    Fd out(::open(destination, O_WRONLY | O_CREAT | O_EXCL, 0666));
    if (!out.ok())
        return fail(in, out);

    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(in, out);
        }
        if (n == 0)
            break;
        if (!write_all(out.get(), buffer, n))
            return fail(in, out);
    }
    if (out.close() != 0)
        return fail(in, out);
    in.close();
    return 0;
}
