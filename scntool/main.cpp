#include <csignal>
#include <cstdio>

#include "converter.h"

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // A file size limit then fails the write, which is reported and cleaned up.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    return pactools::scntoolMain(argc, argv, stdout);
}
