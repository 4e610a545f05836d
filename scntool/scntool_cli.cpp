#include "scntool_cli.h"

#include <set>
#include <string_view>

#include "build_command.h"
#include "converter.h"
#include "file_io.h"
#include "messages.h"
#include "options.h"
#include "platform.h"
#include "scntool_faults.h"
#include "work_folder.h"
#include "status_command.h"
#include "template_command.h"
#include "text.h"

namespace pactools {

namespace {

const OptionName kHelp{"-h", "--help", false};
const OptionName kVersion{nullptr, "--version", false};
const OptionName kTemplate{nullptr, "--pot", false};
const OptionName kStatus{nullptr, "--status", false};
const OptionName kBuild{nullptr, "--build", false};
const OptionName kPo{nullptr, "--po", true};
const OptionName kOutput{"-o", "--output", true};
const OptionName kCodePage{nullptr, "--code-page", true};

void usage(std::FILE* out, const std::string& program) {
    const char* p = program.c_str();
    say(out,
        "Usage: %s <input files>\nWhere input files can be either binary or text scenario files\n\n"
        "       %s [--code-page NAME] NAME.po...\n"
        "\tassembles NAME.txt with the translations of NAME.po into NAME.bin\n"
        "       %s [--code-page NAME] --po FILE.po FILE...\n"
        "\tassembles each NAME.txt with the translations of FILE.po (and lists\n"
        "\teach NAME.bin whose listing does not assemble to it with them)\n"
        "       %s --pot [--code-page NAME] [-o FILE.pot] FILE...\n"
        "\twrites the gettext template NAME.pot of each NAME.bin or NAME.txt,\n"
        "\tor with -o one template of them all\n"
        "       %s --build [--code-page NAME] [--po FILE.po] FILE...\n"
        "\tbrings each NAME.bin up to date with NAME.txt and its translations,\n"
        "\tall or nothing, as make does before it builds the archive\n"
        "       %s --status [--code-page NAME] [--po FILE.po] FILE...\n"
        "\tshows how far each scenario is translated, whether NAME.bin is built,\n"
        "\tand every problem; status 1 unless the game is ready to ship\n"
        "@LIST stands for the lines of the file LIST, one file a line (the makefile's\n"
        "\t@.scntool/scenarios)\n"
        "Code pages: %s (the default is UTF-8)\n",
        p, p, p, p, p, p, codePageNames().c_str());
}

}  // namespace

int scntoolMain(int argc, char** argv, std::FILE* out) {
    const std::string program = argc > 0 ? shown(argv[0]) : "scntool";
    // Other words starting with '-' are file names, as they always were.
    const ParsedCommandLine line =
        parseCommandLine(argc, argv, {&kHelp, &kVersion, &kTemplate, &kStatus, &kBuild, &kPo, &kOutput, &kCodePage}, true);
    std::string wrong = line.error;
    ConvertOptions options;
    bool help = false;
    bool templates = false;
    bool status = false;
    bool build = false;
    std::string output;
    for (const ParsedOption& option : line.options) {
        if (option.which == &kVersion) {
            say(out, "scntool %s\n", PACTOOLS_VERSION);
            return 0;
        }
        help = help || option.which == &kHelp;
        templates = templates || option.which == &kTemplate;
        status = status || option.which == &kStatus;
        build = build || option.which == &kBuild;
        if (option.which == &kPo) options.po = option.value;
        if (option.which == &kOutput) output = option.value;
        if (option.which == &kCodePage) {
            options.codePage = findCodePage(option.value);
            if (!options.codePage) {
                Error error(ScntoolFault::CodePageUnknown);
                error.name = option.value;
                error.detail = codePageNames();
                report(out, "scntool", error);
                return 1;
            }
        }
    }
    if (wrong.empty() && int{templates} + int{status} + int{build} > 1) wrong = "--pot, --status and --build do not go together";
    if (wrong.empty() && !output.empty() && !templates) wrong = "-o/--output names the template of --pot";
    if (wrong.empty() && templates && !options.po.empty()) wrong = "--po does not go with --pot";
    // A template written over a PO file would lose its translations.
    if (wrong.empty() && !output.empty() && !endsWithIgnoreCase(output, ".pot")) wrong = "-o/--output must name a .pot file";
    if (!wrong.empty()) {
        say(out, "%s\n", wrong.c_str());
        usage(out, program);
        return 1;
    }
    if (help || line.words.empty()) {
        usage(out, program);
        return 0;
    }
    // What a killed run left in the folders written to goes first.
    std::set<std::string> folders;
    for (const std::string& word : line.words) {
        const std::string folder = platform::directoryPart(word);
        if (folders.insert(folder).second) {
            removeLeftoverTemporaries(folder);
            removeLeftoverTemporaries(folder + kRecordFolder);
        }
    }
    if (!output.empty()) removeLeftoverTemporaries(platform::directoryPart(output));
    if (templates) return writeTemplates(line.words, options, output, out) ? 0 : 1;
    // One PO file for every listing is read once.
    std::unique_ptr<Translations> project;
    // Status tells a PO file that is not there yet among the other problems.
    if (status && !options.po.empty() && !pathExists(options.po)) {
        return printStatus(line.words, options, nullptr, out, options.po) ? 0 : 1;
    }
    if (!options.po.empty()) {
        project = loadTranslations(options.po, options.codePage, out, !status);
        if (project == nullptr) return 1;
    }
    if (status) return printStatus(line.words, options, project.get(), out) ? 0 : 1;
    if (build) return buildScenarios(line.words, options, project.get(), out) ? 0 : 1;
    bool allConverted = true;
    for (const std::string& word : line.words) {
        allConverted = convertFile(word, options, project.get(), out) && allConverted;
    }
    return allConverted ? 0 : 1;
}

}  // namespace pactools
