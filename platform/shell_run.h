// Commands run through the shell.  Standard output is flushed first so the
// component's own messages and a command's output keep their order.
//
// A command run while the calling thread holds the run lock gets the
// nested-run marker of run_lock.h in its environment, so that a run it starts
// in turn does not wait for the lock its caller holds.  The command line
// itself stays as given.
#pragma once

#include "platform/line_buffer.h"

namespace arnonat {

// Runs COMMAND with /bin/sh -c, as system() does, and waits; the status is
// not looked at.
void run_command(const char *command);

// Runs a built command when it fits; otherwise prints the refusal notice
// naming WHO and runs nothing.  Returns whether it ran.
bool run_command(const LineSpan &command, const char *who);

} // namespace arnonat
