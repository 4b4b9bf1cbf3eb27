// Any rules file: the reader of arnonat-apply stays within the text, gives
// commands in order that never overlap, reads back the words of a command as
// the shell-word helper writes them, and every restore line it leads to is
// one line within the limits iptables-restore takes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/shell_word.h"
#include "tools/apply/restore_line.h"
#include "tools/apply/shell_reader.h"

namespace {

using namespace arnonat::apply;

void check_restore_lines(const Command &c)
{
    for (Context context : {Context::Runner, Context::Arno, Context::ArnoIpv6}) {
        Translation t = translate(context, c.argc, c.argv);
        for (int i = 0; i < t.parts; ++i) {
            char *buf = nullptr;
            size_t size = 0;
            FILE *f = open_memstream(&buf, &size);
            write_restore_line(t.part[i], f);
            std::fclose(f);
            if (size == 0 || size > kMaxRestoreLine + 1 || std::memchr(buf, '\n', size) != buf + size - 1)
                std::abort();
            std::free(buf);
        }
    }
}

// The words written again by the shell-word helper read back the same (the
// helper writes an empty text as nothing, so those are left out).
void check_round_trip(const Command &c)
{
    for (int i = 0; i < c.argc; ++i)
        if (!c.argv[i][0])
            return;
    std::string line;
    for (int i = 0; i < c.argc; ++i) {
        std::vector<char> word(arnonat::shell_word_length(c.argv[i]) + 1);
        arnonat::write_shell_word(word.data(), c.argv[i]);
        line += (i ? " " : "") + std::string(word.data());
    }
    line += "\n";
    ShellReader again(line.data(), line.size());
    Command d;
    if (!again.next(d) || d.kind != Command::Words || d.argc != c.argc)
        std::abort();
    for (int i = 0; i < c.argc; ++i)
        if (std::strcmp(c.argv[i], d.argv[i]))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Exactly the input's bytes, so a read past them is caught.
    std::vector<char> text(data, data + size);
    ShellReader reader(text.data(), text.size());
    static Command c;
    size_t last_end = 0;
    unsigned last_line = 0;
    while (reader.next(c)) {
        if (c.begin < last_end || c.end <= c.begin || c.end > size || c.first_line <= last_line ||
            c.last_line < c.first_line)
            std::abort();
        last_end = c.end;
        last_line = c.last_line;
        if (c.kind == Command::Words) {
            check_round_trip(c);
            check_restore_lines(c);
        }
    }
    return 0;
}
