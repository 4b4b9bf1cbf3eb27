// The one place where a settings or caller text becomes part of a shell
// command.  A text made only of A-Z a-z 0-9 . _ - : / , @ % + = (or the empty
// text) is written unchanged, so ordinary settings give byte-exact commands;
// anything else is written as one single-quoted shell word, so a keyword such
// as "x;reboot" or "$(reboot)" can never run.
#pragma once

#include <cstddef>
#include <cstdio>

namespace arnonat {

// One of the characters above (not the terminator).
bool is_plain_shell_char(unsigned char c);

bool is_plain_shell_text(const char *text);

// Length of the shell word for TEXT, without terminator.
size_t shell_word_length(const char *text);

// Writes the shell word for TEXT at OUT (room for shell_word_length + 1).
void write_shell_word(char *out, const char *text);

// Writes TEXT to STREAM escaped for use between the double quotes of a
// shell assignment: $, backquote, " and \ get a backslash.
void put_quoted_text(const char *text, FILE *stream);

} // namespace arnonat
