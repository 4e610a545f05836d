#include "scntool_cli.h"

#include <string_view>

#include "converter.h"
#include "messages.h"
#include "options.h"
#include "text.h"

namespace pactools {

namespace {

const OptionName kHelp{"-h", "--help", false};
const OptionName kVersion{nullptr, "--version", false};
const OptionName kTemplate{nullptr, "--pot", false};
const OptionName kCodePage{nullptr, "--code-page", true};

void usage(std::FILE* out, const std::string& program) {
    say(out,
        "Usage: %s <input files>\nWhere input files can be either binary or text scenario files\n\n"
        "       %s [--code-page NAME] NAME.po...\n"
        "\tassembles NAME.txt with the translations of NAME.po into NAME.bin\n"
        "       %s --pot [--code-page NAME] FILE...\n"
        "\twrites the gettext template NAME.pot of each NAME.bin or NAME.txt\n"
        "Code pages: %s (the default is UTF-8)\n",
        program.c_str(), program.c_str(), program.c_str(), codePageNames().c_str());
}

}  // namespace

int scntoolMain(int argc, char** argv, std::FILE* out) {
    const std::string program = argc > 0 ? shown(argv[0]) : "scntool";
    // Other words starting with '-' are file names, as they always were.
    const ParsedCommandLine line = parseCommandLine(argc, argv, {&kHelp, &kVersion, &kTemplate, &kCodePage}, true);
    if (!line.error.empty()) {
        say(out, "%s\n", line.error.c_str());
        usage(out, program);
        return 1;
    }
    ConvertOptions options;
    bool help = false;
    bool templates = false;
    for (const ParsedOption& option : line.options) {
        if (option.which == &kVersion) {
            say(out, "scntool %s\n", PACTOOLS_VERSION);
            return 0;
        }
        help = help || option.which == &kHelp;
        templates = templates || option.which == &kTemplate;
        if (option.which == &kCodePage) {
            options.codePage = findCodePage(option.value);
            if (!options.codePage) {
                Error error(Fault::CodePageUnknown);
                error.name = option.value;
                error.detail = codePageNames();
                report(out, "scntool", error);
                return 1;
            }
        }
    }
    if (help || line.words.empty()) {
        usage(out, program);
        return 0;
    }
    bool allConverted = true;
    for (const std::string& word : line.words) {
        const bool done = templates ? writeTemplate(word, options, out) : convertFile(word, options, out);
        allConverted = done && allConverted;
    }
    return allConverted ? 0 : 1;
}

}  // namespace pactools
