#include <csignal>
#include <cstdio>

#include "pactool_cli.h"

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // A file size limit then fails the write, which is reported and cleaned up.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    return pactools::pactoolMain(argc, argv, stdout);
}
