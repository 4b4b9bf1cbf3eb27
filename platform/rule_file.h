// Files written by the rule generators and the driver.
//
// A File owns one C stream and closes it exactly once, on every path.  Rule
// generators open their file for appending with open_rules(), write whole
// lines and end with finish(), which closes the file and turns a failed
// write into their failure result.
//
// Every write is checked: the first one that fails (a full /tmp) is kept
// with its error number, later writes are skipped, and close() and finish()
// report it.  A file with a failed write is cut and must not be handed on.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>

#include "platform/line_buffer.h"

namespace arnonat {

// What most generators print when their file cannot be opened.
inline constexpr char kRulesOpenFailure[] = "Failed to open custom rules configuration file";

class File {
public:
    File() = default;
    explicit File(FILE *stream) : stream_(stream) {}
    File(File &&other) : stream_(other.stream_), error_(other.error_) { other.stream_ = nullptr; }
    File &operator=(File &&other);
    File(const File &) = delete;
    File &operator=(const File &) = delete;
    ~File() { close(); }

    static File open(const char *path, const char *mode);

    explicit operator bool() const { return stream_ != nullptr; }

    // Writes TEXT as it stands.
    void put(const char *text);
    void print(const char *fmt, ...) __attribute__((format(printf, 2, 3)));
    // Writes SIZE bytes of DATA.
    void write(const char *data, size_t size);
    // Writes a built line when it fits; otherwise prints the refusal notice
    // naming WHO and writes nothing.  Returns whether it was written.
    bool put(const LineSpan &line, const char *who);

    // Closes now: 0, or -1 with errno set to the first failure of a write,
    // the flush or the close (0 when nothing was open).
    int close();

    // Closes now and gives RESULT, or -1 (errno telling why) when a write
    // failed: the generators' "return file.finish(0)".
    int finish(int result) { return close() == 0 ? result : -1; }

private:
    // Keeps the error number of the first failure.
    void failed();

    FILE *stream_ = nullptr;
    int error_ = 0;
};

// Opens PATH for appending, creating it when missing.  On failure prints
// FAILURE_MESSAGE and a newline (nothing when it is null) and returns a
// closed File; errno tells why.
File open_rules(const char *path, const char *failure_message);

// Room of a rule line, terminator included, for generators whose lines are
// all shorter.
inline constexpr size_t kRuleLineSize = 512;

// Formats one line into LINE (cleared first) and appends it to FILE when it
// fits; otherwise prints the refusal notice naming WHO and writes nothing.
// Returns whether it was written.
bool put_formatted(File &file, LineSpan &line, const char *who, const char *fmt, va_list ap)
    __attribute__((format(printf, 4, 0)));

// The same with a line buffer of N bytes: the one way generators write a
// formatted rule line.
template <size_t N = kRuleLineSize>
__attribute__((format(printf, 3, 4))) bool put_line(File &file, const char *who, const char *fmt, ...)
{
    LineBuffer<N> line;
    va_list ap;
    va_start(ap, fmt);
    bool written = put_formatted(file, line, who, fmt, ap);
    va_end(ap);
    return written;
}

} // namespace arnonat
