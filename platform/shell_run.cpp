#include "platform/shell_run.h"

#include <cstdio>
#include <cstdlib>

namespace arnonat {

void run_command(const char *command)
{
    std::fflush(stdout);
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
