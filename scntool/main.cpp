#include <cstdio>

#include "platform.h"

#include "scntool_cli.h"

int main(int argc, char** argv) {
    pactools::platform::prepareProcess("scntool");
    return pactools::scntoolMain(argc, argv, stdout);
}
