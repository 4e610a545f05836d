#include <cstdio>

#include "platform.h"

#include "pactool_cli.h"

int main(int argc, char** argv) {
    pactools::platform::prepareProcess("pactool");
    return pactools::pactoolMain(argc, argv, stdout);
}
