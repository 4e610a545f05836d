#include "options.h"

#include "file_io.h"
#include "messages.h"
#include "text.h"

namespace pactools {

namespace {

// The words of an argument file: one a line, each taken whole (blanks and
// a leading '-' or '@' included), never an option.  Empty lines are
// skipped; CR LF ends a line as LF does.
bool readArgumentFile(const std::string& path, std::vector<std::string>& words, std::string& error) {
    std::vector<std::uint8_t> bytes;
    const Error read = readWholeFile(path, bytes);
    if (read) {
        error = messageText(read);
        if (needsReason(read)) error += ": " + platform::errorText(read.system);
        return false;
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    LineReader lines(withoutByteOrderMark(text));
    std::string_view line;
    while (lines.next(line)) {
        if (!line.empty()) words.emplace_back(line);
    }
    return true;
}

}  // namespace

ParsedCommandLine parseCommandLine(int argc, char** argv, const std::vector<const OptionName*>& known,
                                   bool unknownAreWords) {
    ParsedCommandLine parsed;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (optionsEnded || word.size() < 2 || (word[0] != '-' && word[0] != '@')) {
            parsed.words.emplace_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (word[0] == '@') {
            if (!readArgumentFile(std::string(word.substr(1)), parsed.words, parsed.error)) return parsed;
            continue;
        }
        // "--name=value" gives a long option its value in the same word.
        const std::size_t equals = word.starts_with("--") ? word.find('=') : std::string_view::npos;
        const std::string_view name = word.substr(0, equals);
        const OptionName* found = nullptr;
        std::string_view attached;  // "-j4": a short option's value in the same word
        for (const OptionName* candidate : known) {
            if ((candidate->shortName != nullptr && name == candidate->shortName) ||
                (candidate->longName != nullptr && name == candidate->longName)) {
                found = candidate;
            } else if (found == nullptr && candidate->shortName != nullptr && candidate->takesValue &&
                       !word.starts_with("--") && word.starts_with(candidate->shortName)) {
                found = candidate;
                attached = word.substr(std::string_view(candidate->shortName).size());
            }
        }
        if (found == nullptr && unknownAreWords) {
            parsed.words.emplace_back(word);
            continue;
        }
        if (found == nullptr || (equals != std::string_view::npos && !found->takesValue)) {
            parsed.error = "Unknown option: " + shown(word);
            return parsed;
        }
        ParsedOption option{found, {}};
        // A second value would silently replace the first.
        for (const ParsedOption& earlier : parsed.options) {
            if (found->takesValue && earlier.which == found) {
                parsed.error = std::string(found->longName != nullptr ? found->longName : found->shortName) +
                               " may be given once";
                return parsed;
            }
        }
        if (found->takesValue) {
            if (equals != std::string_view::npos) {
                option.value = std::string(word.substr(equals + 1));
            } else if (!attached.empty()) {
                option.value = std::string(attached);
            } else if (i + 1 < argc) {
                option.value = argv[++i];
            } else {
                parsed.error = "Option " + std::string(name) + " needs a value";
                return parsed;
            }
        }
        parsed.options.push_back(std::move(option));
    }
    return parsed;
}

bool parseThreadCount(std::string_view text, unsigned& threads) {
    if (text.empty() || text.size() > 4) return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 1024) return false;
    threads = value;
    return true;
}

}  // namespace pactools
