// arnonat: turns the router's settings into the configuration of the
// arno-iptables-firewall script and runs it, or rewrites one category of
// run-time rules.  The run words are the library's (driver/run_words.cpp),
// so the program needs nothing of it but its exported names.
#include "arnonat.h"

int main(int argc, char **argv)
{
    return ARNONAT_RunWord(argc > 1 ? argv[1] : nullptr);
}
