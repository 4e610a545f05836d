#include "tool_runner.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sys/stat.h>

namespace testing_support {

namespace {

std::string fromEnvironment(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? value : fallback;
}

}  // namespace

std::string pactoolPath() {
    return fromEnvironment("PACTOOL", PACTOOL_DEFAULT_PATH);
}

std::string scntoolPath() {
    return fromEnvironment("SCNTOOL", SCNTOOL_DEFAULT_PATH);
}

bool toolsAreWindows() {
    return fromEnvironment("TOOLS_TARGET", "") == "windows";
}

std::string toolLineEnd() {
    return toolsAreWindows() ? "\r\n" : "\n";
}

std::string reasonText(Reason reason) {
    switch (reason) {
    case Reason::FileNotFound: return toolsAreWindows() ? "File not found" : "No such file or directory";
    case Reason::PathNotFound: return toolsAreWindows() ? "Path not found" : "No such file or directory";
    }
    return {};
}

Workspace::Workspace(const std::string& subdirectory) : dir_(root_ / subdirectory) {
    ::mkdir(dir_.c_str(), 0755);
}

RunResult Workspace::pactool(const std::vector<std::string>& arguments) const {
    return runProgram(dir_, pactoolPath(), arguments);
}

RunResult Workspace::scntool(const std::vector<std::string>& arguments) const {
    return runProgram(dir_, scntoolPath(), arguments);
}

RunResult Workspace::pactoolOnTerminal(const std::vector<std::string>& arguments) const {
    if (std::system("script -qec true /dev/null >/dev/null 2>&1") != 0) return {};
    // Wide enough that a console does not wrap a message.
    std::string command = "stty cols 1000 2>/dev/null; exec ";
    if (const char* launcher = std::getenv("TOOL_LAUNCHER"); launcher != nullptr && *launcher != '\0') {
        command += shellQuote(launcher) + " ";
    }
    command += shellQuote(pactoolPath());
    for (const std::string& argument : arguments) command += " " + shellQuote(argument);
    RunResult result = runProgramDirect(dir_, "script", {"-qec", command, "/dev/null"});
    // A console may draw with control sequences (ESC [ ... letter; "ESC [ N C"
    // moves N columns on, where a blank was) and CR LF line ends.
    const std::string& drawn = result.output;
    std::string text;
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        if (drawn[i] == '\x1B' && i + 1 < drawn.size() && drawn[i + 1] == '[') {
            const std::size_t start = i + 2;
            i = start;
            while (i < drawn.size() && !std::isalpha(static_cast<unsigned char>(drawn[i]))) ++i;
            if (i < drawn.size() && drawn[i] == 'C') text.append(std::max(1, std::atoi(drawn.substr(start).c_str())), ' ');
        } else if (drawn[i] != '\r') {
            text += drawn[i];
        }
    }
    result.output = text;
    return result;
}

RunResult Workspace::hostScntool(const std::vector<std::string>& arguments) const {
    return runProgramDirect(dir_, SCNTOOL_DEFAULT_PATH, arguments);
}

}  // namespace testing_support
