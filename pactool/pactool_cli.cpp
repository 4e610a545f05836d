#include "pactool_cli.h"

#include <string>

#include "archive_command.h"
#include "extract_command.h"
#include "archive_browse.h"
#include "text.h"

namespace pactools {

int pactoolMain(int argc, char** argv, std::FILE* out) {
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "--version") {
        say(out, "pactool %s\n", PACTOOLS_VERSION);
        return 0;
    }
    if (argc < 3 || first == "-h" || first == "--help") {
        say(out,
            "Usage %s [command] [pac file]\nCommands:\n\tarchive (short:a)\n\textract (short:e)\n\tlist (short:l)\n"
            "\ttest (short:t)\n",
            argc > 0 ? shown(argv[0]).c_str() : "pactool");
        return 0;
    }
    const std::string pacPath = argv[2];
    // The archive command uses every core.
    const auto archiveOnAllCores = [](const std::string& path, std::FILE* stream) { return archiveCommand(path, stream); };
    bool (*const command)(const std::string&, std::FILE*) =
        equalsIgnoreCase(first, "archive") || equalsIgnoreCase(first, "a")   ? +archiveOnAllCores
        : equalsIgnoreCase(first, "extract") || equalsIgnoreCase(first, "e") ? extractCommand
        : equalsIgnoreCase(first, "list") || equalsIgnoreCase(first, "l")    ? listCommand
        : equalsIgnoreCase(first, "test") || equalsIgnoreCase(first, "t")    ? testCommand
                                                                              : nullptr;
    if (command == nullptr) {
        say(out, "Invalid command must be 'archive' 'a' 'extract' 'e' 'list' 'l' 'test' or 't'\n");
        return -1;
    }
    return command(pacPath, out) ? 0 : 1;
}

}  // namespace pactools
