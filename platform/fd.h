// File descriptors: one owner that closes a descriptor exactly once, the
// one write loop and the one copy loop.
#pragma once

#include <cstddef>

namespace arnonat {

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { close(); }

    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    // Owns FD from now on, closing the one held before.
    void reset(int fd);
    // Gives the descriptor up without closing it.
    int release();
    // Closes now: 0, or -1 with errno (0 when nothing was open).
    int close();

private:
    int fd_ = -1;
};

// Writes all SIZE bytes of DATA to FD, again after an interruption.  False
// with errno when a write fails; a write that takes no bytes fails with
// EIO rather than being tried for ever.
bool write_all(int fd, const char *data, size_t size);

enum class Copy { done, read_failed, write_failed };

// Copies what is left of IN to OUT; a failure keeps its errno.
Copy copy_all(int in, int out);

} // namespace arnonat
