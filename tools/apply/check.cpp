#include "tools/apply/check.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/apply/buffers.h"
#include "tools/apply/restore_line.h"
#include "tools/apply/shell_reader.h"

namespace arnonat::apply {

namespace {

// A stream in memory, freed exactly once.
class MemoryStream {
public:
    MemoryStream() { reset(); }
    MemoryStream(const MemoryStream &) = delete;
    MemoryStream &operator=(const MemoryStream &) = delete;
    ~MemoryStream() { close(); }
    // Empty again.
    void reset()
    {
        close();
        stream_ = open_memstream(&data_, &size_);
    }
    FILE *stream() const { return stream_; }
    long tell() const { return std::ftell(stream_); }
    const char *data()
    {
        std::fflush(stream_);
        return data_;
    }

private:
    void close()
    {
        if (stream_)
            std::fclose(stream_);
        std::free(data_);
        stream_ = nullptr;
        data_ = nullptr;
    }

    char *data_ = nullptr;
    size_t size_ = 0;
    FILE *stream_ = nullptr;
};

// A temporary file, closed (and so removed) exactly once.
class TempFile {
public:
    TempFile() : stream_(std::tmpfile()) {}
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;
    ~TempFile()
    {
        if (stream_)
            std::fclose(stream_);
    }
    FILE *stream() const { return stream_; }
    int fd() const { return stream_ ? fileno(stream_) : -1; }

private:
    FILE *stream_;
};

// Runs ARGV with standard input from IN_FD and standard error into ERR_FD
// (-1: /dev/null); its exit status, or -1 when it did not exit normally.
int run(const char *const *argv, int in_fd, int err_fd)
{
    pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(in_fd >= 0 ? in_fd : null, 0);
        ::dup2(null, 1);
        ::dup2(err_fd >= 0 ? err_fd : null, 2);
        ::execvp(argv[0], const_cast<char *const *>(argv));
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool needs_vendor_extension(const char *const *argv)
{
    for (int i = 0; argv[i]; ++i)
        if (!std::strcmp(argv[i], "--onebyone") ||
            (!std::strcmp(argv[i], "-j") && argv[i + 1] && !std::strcmp(argv[i + 1], "TRIGGER")))
            return true;
    return false;
}

// TEXT[BEGIN, END) without its final newline, inner newlines shown as \n.
void put_source(const char *text, size_t begin, size_t end, FILE *out)
{
    if (end > begin && text[end - 1] == '\n')
        --end;
    for (size_t i = begin; i < end; ++i) {
        if (text[i] == '\n')
            std::fputs("\\n", out);
        else
            std::fputc(text[i], out);
    }
}

class Checker {
public:
    Checker(const char *name, const char *text, bool verbose, CheckCounts &counts)
        : name_(name), text_(text), verbose_(verbose), counts_(counts)
    {
    }

    void add(const Command &command);
    void flush(int family); // 0: both
    bool failed() const { return failed_; }

private:
    struct Entry {
        size_t begin, end;  // the command in the text
        unsigned line;
        long at, length;    // its restore line in the group's stream
    };
    struct Group {
        Records<Entry> entries;
        MemoryStream lines;
    };

    void apply(Group &group, int family, int table, size_t from, size_t to);
    void run_alone(const char *const *argv, size_t begin, size_t end, unsigned line);
    void cannot(const char *what);

    const char *name_;
    const char *text_;
    bool verbose_;
    CheckCounts &counts_;
    Group groups_[2][kTableCount];
    bool failed_ = false;
};

void Checker::cannot(const char *what)
{
    if (!failed_)
        std::fprintf(stderr, "arnonat-apply: cannot %s: %s\n", what, std::strerror(errno));
    failed_ = true;
}

void Checker::add(const Command &c)
{
    if (c.kind == Command::Shell) {
        const char *text = text_ + c.begin;
        if (c.first_line == c.last_line && !std::strncmp(text, "PATH=", 5))
            return;
        ++counts_.not_run;
        const char *eol = static_cast<const char *>(std::memchr(text, '\n', c.end - c.begin));
        size_t first = eol ? static_cast<size_t>(eol - text) : c.end - c.begin;
        std::printf("NOT RUN  %s:%u: shell command, not checked: %.*s%s\n", name_, c.first_line,
                    static_cast<int>(first), text, c.last_line > c.first_line ? " ..." : "");
        return;
    }
    ++counts_.checked;
    if (verbose_) {
        std::printf("checking %s:%u: ", name_, c.first_line);
        put_source(text_, c.begin, c.end, stdout);
        std::putchar('\n');
    }
    Translation t = translate(Context::Runner, c.argc, c.argv);
    if (t.parts == 0 || t.part[0].alone) {
        flush(t.parts ? t.part[0].family : 0);
        run_alone(c.argv, c.begin, c.end, c.first_line);
        return;
    }
    const Part &part = t.part[0];
    Group &group = groups_[part.family == 6][part.table];
    if (!group.lines.stream())
        return cannot("keep the batch in memory");
    Entry entry{c.begin, c.end, c.first_line, group.lines.tell(), 0};
    write_restore_line(part, group.lines.stream());
    entry.length = group.lines.tell() - entry.at;
    if (!group.entries.push(entry))
        cannot("keep the batch in memory");
}

void Checker::flush(int family)
{
    for (int f = 0; f < 2; ++f) {
        if (family && f != (family == 6))
            continue;
        for (int table = 0; table < kTableCount; ++table) {
            Group &group = groups_[f][table];
            if (group.entries.size())
                apply(group, f ? 6 : 4, table, 0, group.entries.size());
            group.entries.clear();
            group.lines.reset();
        }
    }
}

// Applies entries [FROM, TO) of GROUP in one transaction; when refused, each
// half on its own, down to single commands.
void Checker::apply(Group &group, int family, int table, size_t from, size_t to)
{
    if (failed_)
        return;
    TempFile input;
    if (!input.stream())
        return cannot("create a temporary file");
    const char *lines = group.lines.data();
    const Entry &first = group.entries[from];
    const Entry &last = group.entries[to - 1];
    std::fprintf(input.stream(), "*%s\n", kTableNames[table]);
    std::fwrite(lines + first.at, 1, static_cast<size_t>(last.at + last.length - first.at), input.stream());
    std::fputs("COMMIT\n", input.stream());
    if (std::fflush(input.stream()) != 0 || ::lseek(input.fd(), 0, SEEK_SET) != 0)
        return cannot("write a temporary file");
    const char *restore[] = {family == 6 ? "ip6tables-restore" : "iptables-restore", "--noflush", nullptr};
    if (run(restore, input.fd(), -1) == 0)
        return;
    if (to - from > 1) {
        size_t middle = from + (to - from) / 2;
        apply(group, family, table, from, middle);
        apply(group, family, table, middle, to);
        return;
    }
    // One command refused by iptables-restore: run it as the firewall would.
    ShellReader reader(text_ + first.begin, first.end - first.begin, first.line);
    Command c;
    if (!reader.ok() || !reader.next(c) || c.kind != Command::Words)
        return cannot("read a command again");
    run_alone(c.argv, first.begin, first.end, first.line);
}

void Checker::run_alone(const char *const *argv, size_t begin, size_t end, unsigned line)
{
    if (failed_)
        return;
    TempFile err;
    if (!err.stream())
        return cannot("create a temporary file");
    if (run(argv, -1, err.fd()) == 0)
        return;
    if (needs_vendor_extension(argv)) {
        ++counts_.vendor;
        std::printf("NOTE     %s:%u: needs a vendor netfilter extension: ", name_, line);
        put_source(text_, begin, end, stdout);
        std::putchar('\n');
        return;
    }
    ++counts_.rejected;
    std::printf("REJECTED %s:%u: ", name_, line);
    put_source(text_, begin, end, stdout);
    std::fputs("\n         ", stdout);
    // iptables' reason, on one line
    std::rewind(err.stream());
    bool blank = false;
    for (int ch; (ch = std::fgetc(err.stream())) != EOF;) {
        if (ch == '\n') {
            blank = true;
            continue;
        }
        if (blank)
            std::putchar(' ');
        blank = false;
        std::putchar(ch);
    }
    std::putchar('\n');
}

} // namespace

bool check_file(const char *name, const char *text, size_t length, unsigned skip, bool verbose,
                CheckCounts &counts)
{
    size_t start = 0;
    for (unsigned n = 0; n < skip && start < length; ++n) {
        const char *eol = static_cast<const char *>(std::memchr(text + start, '\n', length - start));
        start = eol ? static_cast<size_t>(eol - text) + 1 : length;
    }
    ShellReader reader(text + start, length - start, skip + 1);
    if (!reader.ok()) {
        std::fprintf(stderr, "arnonat-apply: out of memory\n");
        return false;
    }
    Checker checker(name, text + start, verbose, counts);
    Command command;
    while (!checker.failed() && reader.next(command))
        checker.add(command);
    checker.flush(0);
    std::fflush(stdout);
    return !checker.failed();
}

} // namespace arnonat::apply
