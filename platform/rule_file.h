// Files written by the rule generators and the driver.
//
// A File owns one C stream and closes it exactly once, on every path.  Rule
// generators open their file for appending with open_rules(), write whole
// lines and let the File close it when they return.
#pragma once

#include <cstdio>

#include "platform/line_buffer.h"

namespace arnonat {

// What most generators print when their file cannot be opened.
inline constexpr char kRulesOpenFailure[] = "Failed to open custom rules configuration file";

class File {
public:
    File() = default;
    explicit File(FILE *stream) : stream_(stream) {}
    File(File &&other) : stream_(other.stream_) { other.stream_ = nullptr; }
    File &operator=(File &&other);
    File(const File &) = delete;
    File &operator=(const File &) = delete;
    ~File() { close(); }

    static File open(const char *path, const char *mode);

    explicit operator bool() const { return stream_ != nullptr; }
    FILE *stream() const { return stream_; }

    // Writes TEXT as it stands.
    void put(const char *text);
    void print(const char *fmt, ...) __attribute__((format(printf, 2, 3)));
    // Writes a built line when it fits; otherwise prints the refusal notice
    // naming WHO and writes nothing.  Returns whether it was written.
    bool put(const LineSpan &line, const char *who);

    // Closes now; returns fclose's result (0 when nothing was open).
    int close();

private:
    FILE *stream_ = nullptr;
};

// Opens PATH for appending, creating it when missing.  On failure prints
// FAILURE_MESSAGE and a newline (nothing when it is null) and returns a
// closed File.
File open_rules(const char *path, const char *failure_message);

} // namespace arnonat
