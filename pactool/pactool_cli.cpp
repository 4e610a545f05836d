#include "pactool_cli.h"

#include <string>

#include "archive_command.h"
#include "extract_command.h"
#include "text.h"

namespace pactools {

int pactoolMain(int argc, char** argv, std::FILE* out) {
    if (argc < 3) {
        say(out, "Usage %s [command] [pac file]\nCommands:\n\tarchive (short:a)\n\textract (short:e)\n",
            argc > 0 ? argv[0] : "pactool");
        return 0;
    }
    const std::string_view command = argv[1];
    const std::string pacPath = argv[2];
    if (equalsIgnoreCase(command, "archive") || equalsIgnoreCase(command, "a")) {
        return archiveCommand(pacPath, out) ? 0 : 1;
    }
    if (equalsIgnoreCase(command, "extract") || equalsIgnoreCase(command, "e")) {
        return extractCommand(pacPath, out) ? 0 : 1;
    }
    say(out, "Invalid command must be 'archive' 'a' 'extract' or 'e'\n");
    return -1;
}

}  // namespace pactools
