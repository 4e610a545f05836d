#include "tool_runner.h"

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

Workspace::Workspace(const std::string& subdirectory) : dir_(root_ / subdirectory) {
    ::mkdir(dir_.c_str(), 0755);
}

RunResult Workspace::pactool(const std::vector<std::string>& arguments) const {
    return runProgram(dir_, pactoolPath(), arguments);
}

RunResult Workspace::scntool(const std::vector<std::string>& arguments) const {
    return runProgram(dir_, scntoolPath(), arguments);
}

RunResult Workspace::hostScntool(const std::vector<std::string>& arguments) const {
    return runProgramDirect(dir_, SCNTOOL_DEFAULT_PATH, arguments);
}

}  // namespace testing_support
