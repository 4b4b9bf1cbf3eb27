#include "platform/line_buffer.h"

#include <cstdio>
#include <cstring>

#include "platform/shell_word.h"

namespace arnonat {

void LineSpan::clear()
{
    len_ = 0;
    cut_ = false;
    data_[0] = '\0';
}

bool LineSpan::reserve(size_t extra)
{
    if (cut_ || extra >= cap_ - len_) {
        cut_ = true;
        return false;
    }
    return true;
}

LineSpan &LineSpan::vappend(const char *fmt, va_list ap)
{
    if (cut_)
        return *this;
    size_t room = cap_ - len_;
    int n = std::vsnprintf(data_ + len_, room, fmt, ap);
    if (n < 0 || static_cast<size_t>(n) >= room) {
        data_[len_] = '\0';
        cut_ = true;
        return *this;
    }
    len_ += static_cast<size_t>(n);
    return *this;
}

LineSpan &LineSpan::append(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vappend(fmt, ap);
    va_end(ap);
    return *this;
}

LineSpan &LineSpan::raw(const char *text)
{
    size_t n = std::strlen(text);
    if (reserve(n)) {
        std::memcpy(data_ + len_, text, n + 1);
        len_ += n;
    }
    return *this;
}

LineSpan &LineSpan::word(const char *text)
{
    size_t n = shell_word_length(text);
    if (reserve(n)) {
        write_shell_word(data_ + len_, text);
        len_ += n;
    }
    return *this;
}

bool LineSpan::ready(const char *who) const
{
    if (!cut_)
        return true;
    std::printf("[%s]:text longer than %zu bytes refused, nothing written or run\n", who, cap_ - 1);
    return false;
}

} // namespace arnonat
