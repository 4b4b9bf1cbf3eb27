#include "platform/rule_file.h"

#include <cstdarg>

namespace arnonat {

File &File::operator=(File &&other)
{
    if (this != &other) {
        close();
        stream_ = other.stream_;
        other.stream_ = nullptr;
    }
    return *this;
}

File File::open(const char *path, const char *mode)
{
    return File(std::fopen(path, mode));
}

void File::put(const char *text)
{
    if (stream_)
        std::fputs(text, stream_);
}

void File::print(const char *fmt, ...)
{
    if (!stream_)
        return;
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(stream_, fmt, ap);
    va_end(ap);
}

bool File::put(const LineSpan &line, const char *who)
{
    if (!stream_ || !line.ready(who))
        return false;
    std::fputs(line.c_str(), stream_);
    return true;
}

int File::close()
{
    if (!stream_)
        return 0;
    int rc = std::fclose(stream_);
    stream_ = nullptr;
    return rc;
}

File open_rules(const char *path, const char *failure_message)
{
    File file = File::open(path, "a");
    if (!file && failure_message)
        std::puts(failure_message);
    return file;
}

} // namespace arnonat
