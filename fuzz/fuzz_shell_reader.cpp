// Any rules file: the reader of arnonat-apply stays within the text and
// gives commands in order that never overlap, and every command of words
// is translated and written (what they become is the apply unit test).
#include "fuzz/harness.h"
#include "tools/apply/restore_line.h"
#include "tools/apply/shell_reader.h"

using namespace arnonat::apply;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FILE *sink = std::fopen("/dev/null", "w");
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
        for (Context context : {Context::Runner, Context::Arno, Context::ArnoIpv6}) {
            Translation t = translate(context, c.argc, c.argv);
            for (int i = 0; i < t.parts; ++i)
                write_restore_line(t.part[i], sink), write_shell_line(t.part[i], sink);
        }
    }
    return 0;
}
