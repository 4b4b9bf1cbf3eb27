#include "tools/apply/buffers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace arnonat::apply {

bool TextFile::read(const char *path)
{
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && !S_ISREG(st.st_mode)) {
        ok = false;
        errno = EINVAL;
    }
    size_t want = ok ? static_cast<size_t>(st.st_size) : 0;
    char *data = ok ? static_cast<char *>(std::malloc(want + 1)) : nullptr;
    size_t got = 0;
    while (data && got < want) {
        ssize_t n = ::read(fd, data + got, want - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    int saved = errno;
    ::close(fd);
    if (!data || got != want) {
        std::free(data);
        errno = saved ? saved : EIO;
        return false;
    }
    data[got] = '\0';
    std::free(data_);
    data_ = data;
    size_ = got;
    return true;
}

} // namespace arnonat::apply
