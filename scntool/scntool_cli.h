// scntool's command line: every argument is converted on its own, in order.
#pragma once

#include <cstdio>

namespace pactools {

// Exit status 0 when all arguments were converted (or for the usage, help
// and version texts), 1 when any failed.
int scntoolMain(int argc, char** argv, std::FILE* out);

}  // namespace pactools
