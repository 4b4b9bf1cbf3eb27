#include "platform/runtime_rules.h"

#include "platform/shell_run.h"

namespace arnonat {

RuntimeRules::RuntimeRules(const char *who) : who_(who), file_(kRuntimeRulesFile)
{
    ready_ = lock_.acquire() && file_.create(who);
}

File RuntimeRules::open_with_header()
{
    File file = File::open(path(), "a");
    file.put("#!/bin/sh\n");
    file.put("PATH=${PATH}:/sbin:/usr/sbin\n");
    return file;
}

bool RuntimeRules::apply(int result, const char *command, bool executable)
{
    if (!ready_ || !file_.finish(who_, result, executable ? 0777 : 0))
        return false;
    if (command)
        run_command(command);
    return true;
}

} // namespace arnonat
