#include "platform/fixed_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/fd.h"

namespace arnonat {

namespace {

uint64_t mix(uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

} // namespace

FixedFile::~FixedFile()
{
    if (temporary_[0])
        ::unlink(temporary_);
}

bool FixedFile::create(const char *who)
{
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    char name[sizeof temporary_];
    int length = std::snprintf(name, sizeof name, "%s.XXXXXX", path_);
    if (length < 0 || static_cast<size_t>(length) >= sizeof name) {
        report(who, ENAMETOOLONG);
        return false;
    }
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    // Threads and processes started together differ in their stack and pid.
    uint64_t seed = mix(static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(now.tv_sec) << 30) ^
                        (static_cast<uint64_t>(::getpid()) << 40) ^ reinterpret_cast<uintptr_t>(&now));
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint64_t bits = seed = mix(seed);
        for (char *x = name + length - 6; *x; ++x, bits /= 62)
            *x = kLetters[bits % 62];
        // Created as fopen creates a file, so the umask decides the mode.
        int fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            std::memcpy(temporary_, name, sizeof name);
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    report(who, errno);
    return false;
}

int FixedFile::copy_in(const char *source)
{
    Fd out(::open(temporary_, O_WRONLY | O_APPEND | O_CLOEXEC));
    struct stat st;
    if (!out.ok() || ::fstat(out.get(), &st) != 0)
        return -1;
    Fd in(::open(source, O_RDONLY | O_CLOEXEC));
    if (!in.ok())
        return 1;
    switch (copy_all(in.get(), out.get())) {
    case Copy::done:
        return out.close() == 0 ? 0 : -1;
    case Copy::read_failed: {
        // Unreadable: whatever was copied goes again.
        int cause = errno;
        if (::ftruncate(out.get(), st.st_size) != 0)
            return -1;
        errno = cause;
        return 1;
    }
    case Copy::write_failed:
        break;
    }
    return -1;
}

bool FixedFile::finish(const char *who, int result, mode_t mode)
{
    if (result == 0 && (mode == 0 || ::chmod(temporary_, mode) == 0) && ::rename(temporary_, path_) == 0) {
        temporary_[0] = '\0';
        return true;
    }
    report(who, errno);
    if (temporary_[0])
        ::unlink(temporary_);
    temporary_[0] = '\0';
    return false;
}

void FixedFile::report(const char *who, int error)
{
    std::printf("[%s]:cannot write %s: %s; the previous file stays in place\n", who, path_,
                std::strerror(error != 0 ? error : EIO));
}

} // namespace arnonat
