// A fixed file that the firewall or a shell reads, replaced whole.
//
// The new version is written to a temporary beside the fixed path and renamed
// over it only when every write to it was checked through its close.  A
// reader then finds the previous complete file (or none) or the new one, and
// a command started on the fixed path never finds it open for writing ("Text
// file busy").  A full /tmp fails the write, not the file the firewall starts
// from: the writer prints one message naming the fixed file and the cause and
// hands nothing on.
#pragma once

#include <sys/types.h>

namespace arnonat {

class FixedFile {
public:
    explicit FixedFile(const char *path) : path_(path) {}
    FixedFile(const FixedFile &) = delete;
    FixedFile &operator=(const FixedFile &) = delete;
    // Removes a temporary that was not put in place.
    ~FixedFile();

    // Creates an empty temporary beside the fixed file.  On failure prints
    // the message for WHO and returns false.
    bool create(const char *who);

    // The temporary, for writers that take a path and append to it.
    const char *temporary() const { return temporary_; }

    // Appends the bytes of SOURCE to the temporary: 0 when copied; 1 when
    // SOURCE is missing or cannot be read, with nothing appended and errno
    // telling why; -1 when the temporary could not be written, errno telling
    // why.
    int copy_in(const char *source);

    // RESULT is the outcome of writing the temporary: 0, or -1 with errno
    // telling why.  When 0, sets MODE on the temporary (unless it is 0) and
    // renames it over the fixed path.  Otherwise, or when that fails, prints
    // the one message naming the fixed file and the cause for WHO, removes
    // the temporary and returns false.
    bool finish(const char *who, int result, mode_t mode = 0);

private:
    void report(const char *who, int error);

    const char *path_;
    char temporary_[256] = "";
};

} // namespace arnonat
