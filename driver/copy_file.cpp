// ARNONAT_cp: byte copy of a file onto a path that must not exist yet.
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "arnonat.h"
#include "platform/fd.h"

namespace {

// Closes both files without disturbing the error number of the failure.
int fail(arnonat::Fd &source, arnonat::Fd &destination)
{
    int saved = errno;
    destination.close();
    source.close();
    errno = saved;
    return -1;
}

} // namespace

extern "C" int ARNONAT_cp(const char *destination, const char *source)
{
    arnonat::Fd in(::open(source, O_RDONLY));
    if (!in.ok())
        return -1;
    arnonat::Fd out(::open(destination, O_WRONLY | O_CREAT | O_EXCL, 0666));
    if (!out.ok())
        return fail(in, out);
    if (arnonat::copy_all(in.get(), out.get()) != arnonat::Copy::done)
        return fail(in, out);
    if (out.close() != 0)
        return fail(in, out);
    in.close();
    return 0;
}
