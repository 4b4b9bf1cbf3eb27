// Checks shared by the block-sites fuzz targets: every written command is
// a whole iptables command in which nothing but plain words, blanks, "!" and
// single-quoted words reach the shell.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace fuzz {

inline bool plain_shell_char(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr("._-:/,@%+= !", c) != nullptr;
}

// Checks every command of the file at PATH: each is "iptables ..." made only
// of plain characters and single-quoted words (a quote inside one written as
// '\''; a quoted word may hold a newline), and ends with an unquoted
// newline.  Returns the number of commands.
inline size_t check_rule_file(const char *path)
{
    FILE *f = std::fopen(path, "r");
    if (!f)
        std::abort();
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    std::fclose(f);

    size_t commands = 0;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i == start && text.compare(start, 9, "iptables ") != 0)
            std::abort();
        char c = text[i];
        if (c == '\'') {
            size_t end = text.find('\'', i + 1);
            if (end == std::string::npos)
                std::abort();
            i = end;
        } else if (c == '\\') {
            if (i + 1 >= text.size() || text[i + 1] != '\'')
                std::abort();
            ++i;
        } else if (c == '\n') {
            ++commands;
            start = i + 1;
        } else if (c == '\0' || !plain_shell_char(c)) {
            std::abort();
        }
    }
    if (start != text.size())
        std::abort(); // a command written half
    return commands;
}

inline const char *rules_path()
{
    static std::string path = "/tmp/arnonat-fuzz-rules-" + std::to_string(::getpid());
    return path.c_str();
}

} // namespace fuzz
