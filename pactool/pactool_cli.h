// pactool's command line: a command word and an archive path.
#pragma once

#include <cstdio>

namespace pactools {

// Exit statuses: 0 on success (and for the usage text), 1 when the command
// failed, -1 (255) for a command word it does not know.
int pactoolMain(int argc, char** argv, std::FILE* out);

}  // namespace pactools
