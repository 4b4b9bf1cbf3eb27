#include "tools/apply/plan.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/heap_buffer.h"
#include "platform/shell_word.h"

namespace arnonat::apply {

namespace {

class PlanWriter {
public:
    PlanWriter(Context context, const char *dir) : context_(context), dir_(dir) {}
    PlanWriter(const PlanWriter &) = delete;
    PlanWriter &operator=(const PlanWriter &) = delete;
    ~PlanWriter();

    bool open();
    void add(const Command &command, const char *text);
    bool finish();

private:
    struct Batch {
        FILE *rules = nullptr;
        FILE *lines = nullptr;
        int number = 0;
    };

    void add_part(const Part &part);
    void flush(int family); // 0: both
    void close_batch(Batch &batch);
    FILE *create(const char *name);
    void check(bool ok, const char *what);

    Context context_;
    const char *dir_;
    FILE *plan_ = nullptr;
    Batch batches_[2][kTableCount];
    int order_[2 * kTableCount]; // open batches, oldest first: family * kTableCount + table
    int open_ = 0;
    int numbered_ = 0;
    bool failed_ = false;
};

PlanWriter::~PlanWriter()
{
    for (auto &family : batches_)
        for (Batch &batch : family) {
            if (batch.rules)
                std::fclose(batch.rules);
            if (batch.lines)
                std::fclose(batch.lines);
        }
    if (plan_)
        std::fclose(plan_);
}

void PlanWriter::check(bool ok, const char *what)
{
    if (!ok && !failed_) {
        std::fprintf(stderr, "arnonat-apply: cannot write %s in %s: %s\n", what, dir_, std::strerror(errno));
        failed_ = true;
    }
}

FILE *PlanWriter::create(const char *name)
{
    char path[kMaxDirLength + 32];
    std::snprintf(path, sizeof path, "%s/%s", dir_, name);
    FILE *f = std::fopen(path, "wx");
    check(f != nullptr, name);
    return f;
}

bool PlanWriter::open()
{
    plan_ = create("plan");
    return plan_ != nullptr;
}

void PlanWriter::add(const Command &command, const char *text)
{
    if (failed_)
        return;
    // Built in place: a translation holds two commands' words.
    const Translation t =
        command.kind == Command::Words ? translate(context_, command.argc, command.argv) : Translation{};
    if (t.parts == 0) {
        flush(0);
        size_t length = command.end - command.begin;
        std::fwrite(text + command.begin, 1, length, plan_);
        if (length == 0 || text[command.end - 1] != '\n')
            std::fputc('\n', plan_);
        return;
    }
    for (int i = 0; i < t.parts; ++i)
        add_part(t.part[i]);
}

void PlanWriter::add_part(const Part &part)
{
    if (part.alone) {
        flush(part.family);
        write_shell_line(part, plan_);
        return;
    }
    int f = part.family == 6;
    Batch &batch = batches_[f][part.table];
    if (!batch.rules) {
        batch.number = ++numbered_;
        char name[32];
        std::snprintf(name, sizeof name, "%d.rules", batch.number);
        batch.rules = create(name);
        std::snprintf(name, sizeof name, "%d.lines", batch.number);
        batch.lines = create(name);
        order_[open_++] = f * kTableCount + part.table;
        if (failed_)
            return;
        std::fprintf(batch.rules, "*%s\n", kTableNames[part.table]);
    }
    write_restore_line(part, batch.rules);
    write_shell_line(part, batch.lines);
}

void PlanWriter::close_batch(Batch &batch)
{
    std::fputs("COMMIT\n", batch.rules);
    bool written = !std::ferror(batch.rules) && !std::ferror(batch.lines);
    int rules = std::fclose(batch.rules);
    int lines = std::fclose(batch.lines);
    batch.rules = batch.lines = nullptr;
    check(written && rules == 0 && lines == 0, "a batch");
}

void PlanWriter::flush(int family)
{
    int kept = 0;
    for (int i = 0; i < open_; ++i) {
        int f = order_[i] / kTableCount;
        if (family && f != (family == 6)) {
            order_[kept++] = order_[i];
            continue;
        }
        Batch &batch = batches_[f][order_[i] % kTableCount];
        if (failed_ || !batch.rules)
            continue;
        close_batch(batch);
        char path[kMaxDirLength + 32];
        std::snprintf(path, sizeof path, "%s/%d", dir_, batch.number);
        char word[4 * sizeof path + 3];
        write_shell_word(word, path);
        std::fprintf(plan_, "arnonat_batch %d %s\n", f ? 6 : 4, word);
    }
    open_ = kept;
}

bool PlanWriter::finish()
{
    flush(0);
    if (plan_) {
        bool ok = !std::ferror(plan_);
        int rc = std::fclose(plan_);
        plan_ = nullptr;
        check(ok && rc == 0, "the plan");
    }
    return !failed_;
}

} // namespace

int write_plan(Context context, const char *text, size_t length, const char *dir)
{
    if (std::strlen(dir) > kMaxDirLength) {
        std::fprintf(stderr, "arnonat-apply: the directory name is too long\n");
        return 1;
    }
    ShellReader reader(text, length);
    // A command holds its words' addresses: on the heap, not the stack.
    HeapObject<Command> command;
    if (!reader.ok() || !command) {
        std::fprintf(stderr, "arnonat-apply: out of memory\n");
        return 1;
    }
    PlanWriter writer(context, dir);
    if (!writer.open())
        return 1;
    while (reader.next(*command))
        writer.add(*command, text);
    return writer.finish() ? 0 : 1;
}

} // namespace arnonat::apply
