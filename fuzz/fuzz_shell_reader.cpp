// Any rules file: the reader of arnonat-apply stays within the text, gives
// commands in order that never overlap, reads back the words of a command as
// the shell-word helper writes them, and every restore line it leads to is
// one line within the limits iptables-restore takes.
#include "fuzz/harness.h"
#include "platform/shell_word.h"
#include "tools/apply/restore_line.h"
#include "tools/apply/shell_reader.h"

using namespace arnonat::apply;

static void check_words(const Command &c)
{
    for (Context context : {Context::Runner, Context::Arno, Context::ArnoIpv6}) {
        Translation t = translate(context, c.argc, c.argv);
        for (int i = 0; i < t.parts; ++i) {
            char *buf = nullptr;
            size_t size = 0;
            FILE *f = open_memstream(&buf, &size);
            write_restore_line(t.part[i], f);
            std::fclose(f);
            fuzz::check(size > 0 && size <= kMaxRestoreLine + 1 && std::memchr(buf, '\n', size) == buf + size - 1);
            std::free(buf);
        }
    }
    // The words written again by the shell-word helper read back the same
    // (the helper writes an empty text as nothing, so those are left out).
    std::string line;
    for (int i = 0; i < c.argc; ++i) {
        if (!c.argv[i][0])
            return;
        std::vector<char> word(arnonat::shell_word_length(c.argv[i]) + 1);
        arnonat::write_shell_word(word.data(), c.argv[i]);
        line += (i ? " " : "") + std::string(word.data()) + (i + 1 == c.argc ? "\n" : "");
    }
    ShellReader again(line.data(), line.size());
    Command d;
    fuzz::check(again.next(d) && d.kind == Command::Words && d.argc == c.argc);
    for (int i = 0; i < c.argc; ++i)
        fuzz::check(!std::strcmp(c.argv[i], d.argv[i]));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Exactly the input's bytes, so a read past them is caught.
    std::vector<char> text(data, data + size);
    ShellReader reader(text.data(), text.size());
    static Command c;
    size_t last_end = 0;
    unsigned last_line = 0;
    while (reader.next(c)) {
        fuzz::check(c.begin >= last_end && c.end > c.begin && c.end <= size && c.first_line > last_line &&
                    c.last_line >= c.first_line);
        last_end = c.end;
        last_line = c.last_line;
        if (c.kind == Command::Words)
            check_words(c);
    }
    return 0;
}
