#include "platform/run_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace arnonat {

namespace {

constexpr int kPollMs = 50;

// Takes of the lock by this thread that are still held.
thread_local int t_held = 0;

// The marker names a process that is still there: this run is nested in it.
bool inside_locked_run()
{
    const char *holder = std::getenv(kRunLockHolder);
    if (!holder || !*holder)
        return false;
    char *end = nullptr;
    long pid = std::strtol(holder, &end, 10);
    if (*end != '\0' || pid <= 0 || pid == static_cast<long>(::getpid()))
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

void pause_ms(int ms)
{
    timespec t{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

} // namespace

bool run_lock_held()
{
    return t_held > 0;
}

RunLock::~RunLock()
{
    if (counted_)
        --t_held;
    if (fd_ >= 0)
        ::close(fd_);
}

bool RunLock::acquire(const char *path, int wait_ms)
{
    if (counted_ || fd_ >= 0)
        return true;
    if (t_held > 0)
        return hold();
    if (inside_locked_run())
        return true;
    fd_ = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        // Without a lock file the run goes on as it always could (and its
        // nested takes do not try again).
        std::printf("arnonat: cannot open the run lock %s; running without it\n", path);
        return hold();
    }
    for (int waited = 0;; waited += kPollMs) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0)
            break;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            std::printf("arnonat: cannot lock %s; running without it\n", path);
            ::close(fd_);
            fd_ = -1;
            return hold();
        }
        if (waited >= wait_ms) {
            std::printf("arnonat: another run still holds %s after %d s; nothing done\n", path,
                        wait_ms / 1000);
            ::close(fd_);
            fd_ = -1;
            return false;
        }
        pause_ms(kPollMs);
    }
    return hold();
}

bool RunLock::hold()
{
    ++t_held;
    counted_ = true;
    return true;
}

} // namespace arnonat
