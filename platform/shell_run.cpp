#include "platform/shell_run.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/run_lock.h"

extern char **environ;

namespace arnonat {

namespace {

// The environment of this process with the nested-run marker naming it.
class MarkedEnvironment {
public:
    MarkedEnvironment()
    {
        size_t count = 0;
        while (environ && environ[count])
            ++count;
        list_ = static_cast<char **>(std::malloc((count + 2) * sizeof(char *)));
        if (!list_)
            return;
        std::snprintf(marker_, sizeof marker_, "%s=%ld", kRunLockHolder, static_cast<long>(::getpid()));
        const size_t name = sizeof kRunLockHolder - 1;
        size_t n = 0;
        for (size_t i = 0; i < count; ++i)
            if (std::strncmp(environ[i], kRunLockHolder, name) != 0 || environ[i][name] != '=')
                list_[n++] = environ[i];
        list_[n++] = marker_;
        list_[n] = nullptr;
    }
    MarkedEnvironment(const MarkedEnvironment &) = delete;
    MarkedEnvironment &operator=(const MarkedEnvironment &) = delete;
    ~MarkedEnvironment() { std::free(list_); }

    char **list() const { return list_; }

private:
    char **list_ = nullptr;
    char marker_[sizeof kRunLockHolder + 24];
};

// /bin/sh -c COMMAND with the marker; false when it could not be started.
bool run_marked(const char *command)
{
    MarkedEnvironment environment;
    if (!environment.list())
        return false;
    char sh[] = "sh";
    char dash_c[] = "-c";
    char *const argv[] = {sh, dash_c, const_cast<char *>(command), nullptr};
    pid_t pid;
    if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environment.list()) != 0)
        return false;
    int status;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

} // namespace

void run_command(const char *command)
{
    std::fflush(stdout);
    if (run_lock_held() && run_marked(command))
        return;
    int status = std::system(command);
    (void)status; // the router's commands report their own failures
}

bool run_command(const LineSpan &command, const char *who)
{
    if (!command.ready(who))
        return false;
    run_command(command.c_str());
    return true;
}

} // namespace arnonat
