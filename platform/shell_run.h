// Commands run through the shell.  Standard output is flushed first so the
// component's own messages and a command's output keep their order.
#pragma once

#include "platform/line_buffer.h"

namespace arnonat {

// Runs COMMAND with system() and waits; the status is not looked at.
void run_command(const char *command);

// Runs a built command when it fits; otherwise prints the refusal notice
// naming WHO and runs nothing.  Returns whether it ran.
bool run_command(const LineSpan &command, const char *who);

} // namespace arnonat
