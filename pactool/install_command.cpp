#include "install_command.h"

#include <array>
#include <vector>

#include "file_io.h"
#include "messages.h"
#include "pac_faults.h"
#include "pac_format.h"
#include "pactool_faults.h"
#include "platform.h"
#include "text.h"

namespace pactools {

namespace {

// The game's folder: given on the command line, or GAME_DIR as make hands
// it on.  `fromConf` tells messages to point at makefile.conf.
Error gameFolder(const std::optional<std::string>& given, std::string& folder, bool& fromConf) {
    fromConf = !given;
    if (given) {
        folder = *given;
    } else if (!platform::environmentValue("GAME_DIR", folder)) {
        return Error(PactoolFault::InstallNoGameDir);
    }
    // A line of makefile.conf may end in blanks, or in a backslash that
    // joined it to a blank line or a comment: make keeps the blanks.
    // Quotes around it, as around a tool's path, are no part of the name.
    if (fromConf) {
        while (!folder.empty() && (folder.back() == ' ' || folder.back() == '\t')) folder.pop_back();
        if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') folder = folder.substr(1, folder.size() - 2);
    }
    Error error = fileError(PactoolFault::InstallNotAFolder, folder);
    error.detail = fromConf ? "GAME_DIR" : "";
    if (folder.empty()) return fromConf ? error.as(PactoolFault::InstallNoGameDir) : error;
    platform::FileStatus status;
    int reason = 0;
    if (!platform::statPath(folder, status, reason)) {
        error.system = reason;
        return error;
    }
    if (!status.directory) return error;
    return {};
}

bool isSeparator(char c) {
    return c == '/' || (platform::kWindows && c == '\\');
}

}  // namespace

bool installCommand(const std::string& pacPath, const std::optional<std::string>& given, std::FILE* out) {
    std::string folder;
    bool fromConf = false;
    if (Error error = gameFolder(given, folder, fromConf)) {
        report(out, "pactool", error);
        return false;
    }
    InputFile archive;
    if (Error error = archive.open(pacPath)) {
        report(out, "pactool", error);
        return false;
    }
    // Only an archive goes into the game: a makefile or list file named by
    // mistake is refused.
    std::array<std::uint8_t, kPacHeaderSize> header{};
    std::size_t got = 0;
    if (Error error = archive.readAt(0, header, got)) {
        report(out, "pactool", error);
        return false;
    }
    if (got < header.size() || !isPac(header)) {
        report(out, "pactool", fileError(PacFault::NotPac, pacPath));
        return false;
    }
    const std::string target =
        folder + (isSeparator(folder.back()) ? "" : std::string(platform::kWindows ? "\\" : "/")) +
        std::string(lastPathComponent(pacPath));
    removeLeftoverTemporaries(folder);
    OutputFile copy;
    if (Error error = copy.create(target)) {
        report(out, "pactool", error);
        return false;
    }
    std::vector<std::uint8_t> buffer(1 << 20);
    std::uint64_t offset = 0;
    for (;;) {
        if (Error error = archive.readAt(offset, buffer, got)) {
            report(out, "pactool", error);
            return false;
        }
        if (got == 0) break;
        copy.write(std::span<const std::uint8_t>(buffer.data(), got));
        offset += got;
    }
    if (Error error = copy.commit()) {
        report(out, "pactool", error);
        return false;
    }
    say(out, "Installed %s as %s\n", shown(pacPath).c_str(), shown(target).c_str());
    return true;
}

}  // namespace pactools
