#include "platform/shell_word.h"

#include <cstring>

namespace arnonat {

namespace {

bool needs_backslash(char c)
{
    return c == '$' || c == '`' || c == '"' || c == '\\';
}

} // namespace

bool is_plain_shell_char(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::strchr("._-:/,@%+=", c) != nullptr && c != '\0';
}

bool is_plain_shell_text(const char *text)
{
    for (const char *p = text; *p; ++p)
        if (!is_plain_shell_char(static_cast<unsigned char>(*p)))
            return false;
    return true;
}

size_t shell_word_length(const char *text)
{
    size_t n = std::strlen(text);
    if (is_plain_shell_text(text))
        return n;
    // '...' around the text; each ' inside becomes '\'' (three more bytes).
    size_t len = n + 2;
    for (const char *p = text; *p; ++p)
        if (*p == '\'')
            len += 3;
    return len;
}

void write_shell_word(char *out, const char *text)
{
    if (is_plain_shell_text(text)) {
        std::strcpy(out, text);
        return;
    }
    *out++ = '\'';
    for (const char *p = text; *p; ++p) {
        if (*p == '\'') {
            std::memcpy(out, "'\\''", 4);
            out += 4;
        } else {
            *out++ = *p;
        }
    }
    *out++ = '\'';
    *out = '\0';
}

void put_quoted_text(const char *text, FILE *stream)
{
    for (const char *p = text; *p; ++p) {
        if (needs_backslash(*p))
            std::fputc('\\', stream);
        std::fputc(*p, stream);
    }
}

} // namespace arnonat
