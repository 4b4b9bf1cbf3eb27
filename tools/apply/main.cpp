// arnonat-apply: applies the router's rules files as iptables-restore
// transactions (the plan, for arno's custom rules and the custom services
// runner) and checks them without a shell (for arnonat-check).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cerrno>

#include "tools/apply/buffers.h"
#include "tools/apply/check.h"
#include "tools/apply/plan.h"

namespace {

using namespace arnonat::apply;

const char kUsage[] =
    "usage: arnonat-apply plan arno|arno-ipv6|sh FILE DIR\n"
    "       arnonat-apply check [-v] [-s LINES] FILE...\n";

const char kHelp[] =
    "\n"
    "plan   writes into the empty directory DIR a shell plan that does what the\n"
    "       rules file FILE does, in the same order, with each run of plain\n"
    "       iptables lines applied as one iptables-restore --noflush per address\n"
    "       family and table: DIR/plan calls `arnonat_batch FAMILY DIR/N` for\n"
    "       each batch (N.rules: restore input; N.lines: the same commands one\n"
    "       per line, for when the batch is refused) and keeps every other\n"
    "       command as it stands.  The context is the shell that runs FILE:\n"
    "       arno-iptables-firewall with IPv6 off (arno) or on (arno-ipv6), or\n"
    "       plain sh (the custom services runner).\n"
    "check  applies each FILE in the current network namespace (the skipped\n"
    "       first LINES of the first FILE excepted): one iptables-restore per\n"
    "       family and table; a refused one is halved down to the refused\n"
    "       commands, which are run on their own and listed with iptables'\n"
    "       reason.  No command is ever handed to a shell; shell commands are\n"
    "       listed as not run.  -v prints every command checked.\n"
    "\n"
    "Exit status: 0 success (check: nothing refused, nothing left unchecked),\n"
    "1 a refused command (check) or a file that cannot be written (plan),\n"
    "2 bad usage or a file that cannot be read.\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

bool read_file(TextFile &file, const char *path)
{
    if (file.read(path))
        return true;
    std::fprintf(stderr, "arnonat-apply: cannot read %s: %s\n", path, std::strerror(errno));
    return false;
}

int plan(int argc, char **argv)
{
    if (argc != 5)
        return usage();
    Context context;
    if (!std::strcmp(argv[2], "arno"))
        context = Context::Arno;
    else if (!std::strcmp(argv[2], "arno-ipv6"))
        context = Context::ArnoIpv6;
    else if (!std::strcmp(argv[2], "sh"))
        context = Context::Runner;
    else
        return usage();
    TextFile file;
    if (!read_file(file, argv[3]))
        return 2;
    return write_plan(context, file.data(), file.size(), argv[4]);
}

const char *base_name(const char *path)
{
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

int check(int argc, char **argv)
{
    bool verbose = false;
    unsigned long skip = 0;
    int i = 2;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        if (!std::strcmp(argv[i], "-v")) {
            verbose = true;
        } else if (!std::strcmp(argv[i], "-s") && i + 1 < argc) {
            char *end;
            errno = 0;
            skip = std::strtoul(argv[++i], &end, 10);
            if (*end || end == argv[i] || errno || skip > 1000000)
                return usage();
        } else {
            return usage();
        }
    }
    if (i == argc)
        return usage();
    CheckCounts counts;
    int files = 0;
    for (bool first = true; i < argc; ++i, first = false) {
        TextFile file;
        if (!read_file(file, argv[i]))
            return 2;
        if (!check_file(base_name(argv[i]), file.data(), file.size(), first ? static_cast<unsigned>(skip) : 0,
                        verbose, counts))
            return 2;
        ++files;
    }
    std::printf("checked %d commands in %d files: %d rejected, %d need vendor extensions, "
                "%d shell commands not run\n",
                counts.checked, files, counts.rejected, counts.vendor, counts.not_run);
    return counts.rejected || counts.not_run ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && (!std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help"))) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc >= 2 && !std::strcmp(argv[1], "plan"))
        return plan(argc, argv);
    if (argc >= 2 && !std::strcmp(argv[1], "check"))
        return check(argc, argv);
    return usage();
}
