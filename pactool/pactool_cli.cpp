#include "pactool_cli.h"

#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <system_error>

#include "archive_browse.h"
#include "archive_command.h"
#include "extract_command.h"
#include "install_command.h"
#include "code_page.h"
#include "options.h"
#include "text.h"

namespace pactools {

namespace {

const OptionName kHelp{"-h", "--help", false};
const OptionName kVersion{nullptr, "--version", false};
const OptionName kThreads{"-j", "--threads", true};
const OptionName kRecompress{nullptr, "--recompress", false};
const OptionName kQuiet{"-q", "--quiet", false};
const OptionName kCodePage{nullptr, "--code-page", true};

void usage(std::FILE* out, const char* program) {
    say(out,
        "Usage %s [command] [pac file]\nCommands:\n\tarchive (short:a)\n\textract (short:e)\n\tlist (short:l)\n"
        "\ttest (short:t)\n"
        "\tinstall [folder]\tcopies the archive into the folder (default: GAME_DIR, as make sets it)\n"
        "Options (before or after the command):\n"
        "\t-j N, --threads N\tworkers to use (0: every core, the default; 1: none beyond the main thread)\n"
        "\t--recompress\t\tarchive: compress every member, reusing nothing of the previous archive\n"
        "\t-q, --quiet\t\tno Compressing, Unchanged or Extracting lines\n"
        "\t--code-page NAME\tthe code page of the member names (%s); extract writes them as\n"
        "\t\t\t\tUnicode file names, archive writes them back\n"
        "\t-h, --help\t\tthis text\n\t--version\t\tthe version\n",
        program, codePageNames().c_str());
}

using Command = bool (*)(const std::string&, std::FILE*, const CommandOptions&);

Command commandNamed(std::string_view word) {
    if (equalsIgnoreCase(word, "archive") || equalsIgnoreCase(word, "a")) return archiveCommand;
    if (equalsIgnoreCase(word, "extract") || equalsIgnoreCase(word, "e")) return extractCommand;
    if (equalsIgnoreCase(word, "list") || equalsIgnoreCase(word, "l")) return listCommand;
    if (equalsIgnoreCase(word, "test") || equalsIgnoreCase(word, "t")) return testCommand;
    return nullptr;
}

// The exit status for an unknown command word (the status a byte holds
// for -1, which the tool has always given).
constexpr int kUnknownCommand = 255;

// Runs a command.  Memory or a thread that the system refuses ends it as a
// failure, with one line on standard error: the stack unwinds first, so its
// workers are stopped and joined and its temporary files removed.
int runCommand(Command command, const std::string& path, std::FILE* out, const CommandOptions& options) {
    try {
        return command(path, out, options) ? 0 : 1;
    } catch (const std::bad_alloc&) {
        std::fflush(stdout);
        std::fputs("pactool: out of memory\n", stderr);
    } catch (const std::system_error& failure) {
        // The only calls here that throw it are those that start threads.
        sayReason("pactool", "cannot start a thread", failure.code().message());
    }
    return 1;
}

}  // namespace

int pactoolMain(int argc, char** argv, std::FILE* out) {
    const std::string program = argc > 0 ? shown(argv[0]) : "pactool";
    const ParsedCommandLine line =
        parseCommandLine(argc, argv, {&kHelp, &kVersion, &kThreads, &kRecompress, &kQuiet, &kCodePage});
    if (!line.error.empty()) {
        say(out, "%s\n", line.error.c_str());
        usage(out, program.c_str());
        return 1;
    }
    CommandOptions options;
    bool help = false;
    for (const ParsedOption& option : line.options) {
        if (option.which == &kVersion) {
            say(out, "pactool %s\n", PACTOOLS_VERSION);
            return 0;
        }
        help = help || option.which == &kHelp;
        options.recompress = options.recompress || option.which == &kRecompress;
        options.quiet = options.quiet || option.which == &kQuiet;
        if (option.which == &kCodePage) {
            options.names.codePage = findCodePage(option.value);
            if (!options.names.codePage) {
                say(out, "Unknown code page %s (known: %s)\n", shown(option.value).c_str(), codePageNames().c_str());
                usage(out, program.c_str());
                return 1;
            }
        }
        if (option.which == &kThreads && !parseThreadCount(option.value, options.threads)) {
            say(out, "Invalid thread count: %s (a number from 0 to 1024)\n", shown(option.value).c_str());
            usage(out, program.c_str());
            return 1;
        }
    }
    if (help || line.words.size() < 2) {
        usage(out, program.c_str());
        return 0;
    }
    const bool install = equalsIgnoreCase(line.words[0], "install");
    const Command command = commandNamed(line.words[0]);
    if (command == nullptr && !install) {
        say(out, "Invalid command must be 'archive' 'a' 'extract' 'e' 'list' 'l' 'test' 't' or 'install'\n");
        return kUnknownCommand;
    }
    if (line.words.size() > (install ? 3 : 2)) {
        // One archive a run: a word more is a mistake, never ignored.
        say(out, "Unexpected argument: %s (one archive path after the command)\n",
            shown(line.words[install ? 3 : 2]).c_str());
        usage(out, program.c_str());
        return 1;
    }
    if (install) {
        const std::optional<std::string> folder =
            line.words.size() == 3 ? std::optional<std::string>(line.words[2]) : std::nullopt;
        return installCommand(line.words[1], folder, out) ? 0 : 1;
    }
    return runCommand(command, line.words[1], out, options);
}

}  // namespace pactools
