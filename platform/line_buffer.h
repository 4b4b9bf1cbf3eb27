// Fixed-size text builders for rule lines and shell commands.
//
// A command is built whole in a buffer sized from its longest content and
// written or run only when it fits: a text that would not fit marks the
// buffer as cut, and a cut buffer is refused, never written half.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace arnonat {

class LineSpan {
public:
    LineSpan(const LineSpan &) = delete;
    LineSpan &operator=(const LineSpan &) = delete;

    // printf-style append.
    LineSpan &append(const char *fmt, ...) __attribute__((format(printf, 2, 3)));
    LineSpan &vappend(const char *fmt, va_list ap) __attribute__((format(printf, 2, 0)));
    // Appends a settings or caller text as one shell word (see shell_word.h).
    LineSpan &word(const char *text);
    // Appends raw bytes.
    LineSpan &raw(const char *text);

    void clear();
    bool fits() const { return !cut_; }
    const char *c_str() const { return data_; }
    size_t size() const { return len_; }
    size_t capacity() const { return cap_; }

    // True when the text fits; otherwise prints the one-line refusal notice
    // naming WHO (the function that built it) and returns false.
    bool ready(const char *who) const;

protected:
    LineSpan(char *data, size_t cap) : data_(data), cap_(cap) { data_[0] = '\0'; }

private:
    bool reserve(size_t extra);

    char *data_;
    size_t cap_;
    size_t len_ = 0;
    bool cut_ = false;
};

// N is the buffer size including the terminator.
template <size_t N>
class LineBuffer : public LineSpan {
    static_assert(N > 1, "a line buffer holds at least one character");

public:
    LineBuffer() : LineSpan(storage_, N) {}

private:
    char storage_[N];
};

} // namespace arnonat
