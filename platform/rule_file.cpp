#include "platform/rule_file.h"

#include <cerrno>
#include <cstdarg>

namespace arnonat {

File &File::operator=(File &&other)
{
    if (this != &other) {
        close();
        stream_ = other.stream_;
        error_ = other.error_;
        other.stream_ = nullptr;
    }
    return *this;
}

File File::open(const char *path, const char *mode)
{
    // Closed on exec: a command started meanwhile by another thread must not
    // keep the file open for writing.
    char closing[8];
    std::snprintf(closing, sizeof closing, "%se", mode);
    File file(std::fopen(path, closing));
    if (!file)
        file.failed(); // so that a later close() reports it too
    return file;
}

void File::failed()
{
    if (error_ == 0)
        error_ = errno != 0 ? errno : EIO;
}

void File::put(const char *text)
{
    if (stream_ && !error_ && std::fputs(text, stream_) == EOF)
        failed();
}

void File::print(const char *fmt, ...)
{
    if (!stream_ || error_)
        return;
    va_list ap;
    va_start(ap, fmt);
    int n = std::vfprintf(stream_, fmt, ap);
    va_end(ap);
    if (n < 0)
        failed();
}

void File::write(const char *data, size_t size)
{
    if (stream_ && !error_ && size > 0 && std::fwrite(data, 1, size, stream_) != size)
        failed();
}

bool File::put(const LineSpan &line, const char *who)
{
    if (!stream_ || !line.ready(who))
        return false;
    write(line.c_str(), line.size());
    return !error_;
}

int File::close()
{
    if (stream_) {
        // Flushed apart from the close so that its error number is the one kept.
        if (!error_ && std::fflush(stream_) != 0)
            failed();
        if (!error_ && std::ferror(stream_))
            error_ = EIO;
        if (std::fclose(stream_) != 0)
            failed();
        stream_ = nullptr;
    }
    if (error_) {
        errno = error_;
        return -1;
    }
    return 0;
}

bool put_formatted(File &file, LineSpan &line, const char *who, const char *fmt, va_list ap)
{
    line.clear();
    line.vappend(fmt, ap);
    return file.put(line, who);
}

File open_rules(const char *path, const char *failure_message)
{
    File file = File::open(path, "a");
    if (!file && failure_message) {
        int cause = errno;
        std::puts(failure_message);
        errno = cause;
    }
    return file;
}

} // namespace arnonat
