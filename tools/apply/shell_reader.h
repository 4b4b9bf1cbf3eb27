// Splits a rules file into the commands a shell would run, one at a time.
//
// The router's rules files are shell scripts that arno (or the custom
// services runner) runs.  Nearly every line is one iptables command made of
// plain words, which iptables-restore can take in one transaction; the rest
// (the stock custom rules with their variables and "||", a user's own shell)
// must keep running in the shell, in their place.  The reader tells them
// apart, and errs towards the shell whenever it is not sure:
//
// - Words: a line at the top level of the script that a shell runs as exactly
//   these words: its first word `iptables`, `ip4tables` or `ip6tables`, every
//   word made of plain characters and single-quoted segments (as the
//   shell-word helper writes settings texts, `'it'\''s'` included), ended by
//   an unquoted newline.  A quoted segment may hold newlines.
// - Shell: anything else, as its exact text, up to the end of the line where
//   the shell is back at the top level: quotes, backslash-newline, command
//   substitutions, here-documents and compound commands (if, case, loops,
//   braces, subshells, function bodies) are followed, so a plain-looking line
//   inside them stays in its block.  When the structure cannot be followed,
//   the rest of the file is one shell command.
//
// Blank lines and comment lines at the top level are no commands.  After a
// shell command that could change what a later `iptables` line means (an
// alias, a function, eval, sourcing a file, the firewall's command
// variables), every later command is shell too.
#pragma once

#include <cstddef>

namespace arnonat::apply {

inline constexpr int kMaxWords = 256;

struct Command {
    enum Kind { Words, Shell };
    Kind kind = Shell;
    size_t begin = 0;        // first byte of the command's text
    size_t end = 0;          // after its closing newline (or the end of the text)
    unsigned first_line = 0; // line numbers of its first and last line
    unsigned last_line = 0;
    int argc = 0;            // Words: the words, null-terminated
    const char *argv[kMaxWords + 1] = {};
};

class ShellReader {
public:
    // Reads LENGTH bytes at TEXT, whose first line is FIRST_LINE.  TEXT must
    // outlive the reader; the words of every command stay valid as long as
    // the reader does.
    ShellReader(const char *text, size_t length, unsigned first_line = 1);
    ~ShellReader();
    ShellReader(const ShellReader &) = delete;
    ShellReader &operator=(const ShellReader &) = delete;

    // False when the reader could not get memory for the words.
    bool ok() const { return words_ != nullptr; }
    // The next command; false at the end of the text.
    bool next(Command &out);

private:
    bool read_words(Command &out, size_t start);

    const char *text_;
    size_t length_;
    size_t pos_ = 0;
    unsigned line_;
    bool shell_only_ = false;
    char *words_;
};

// True when shell text could change what a later iptables line runs.
bool may_redefine_commands(const char *text, size_t length);

// End of the shell command that starts at START (the start of a line at the
// top level): just after the newline that ends it, or LENGTH.
size_t shell_command_end(const char *text, size_t length, size_t start);

} // namespace arnonat::apply
