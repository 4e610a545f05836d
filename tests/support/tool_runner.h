// Runs the built tools in a scratch directory for end-to-end tests.  The
// executables come from the environment (PACTOOL, SCNTOOL) when set, else
// from the build tree; TOOL_LAUNCHER may name a program to start them with.
#pragma once

#include <string>
#include <vector>

#include "test_support.h"

namespace testing_support {

std::string pactoolPath();
std::string scntoolPath();
// True when the tools under test are Windows programs (TOOLS_TARGET=windows):
// their text files end lines with CR LF.
bool toolsAreWindows();
// The line end of the tools' text files.
std::string toolLineEnd();

// The system's reasons the tests meet, as the tools under test word them:
// strerror's text on POSIX, Windows' own words (as Wine has them) from the
// Windows executables.
enum class Reason { FileNotFound, PathNotFound };
std::string reasonText(Reason reason);

// A scratch directory with the tools at hand.
class Workspace {
public:
    explicit Workspace(const std::string& subdirectory = "work");
    // The directory the tools run in, below a parent that may hold makefile.conf.
    const std::string& dir() const { return dir_; }
    const std::string& parent() const { return root_.path(); }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    void write(const std::string& name, const std::string& bytes) const { writeFile(path(name), bytes); }
    std::string read(const std::string& name) const { return readFile(path(name)); }
    bool exists(const std::string& name) const { return fileExists(path(name)); }
    std::vector<std::string> files() const { return listDirectory(dir_); }

    RunResult pactool(const std::vector<std::string>& arguments) const;
    RunResult scntool(const std::vector<std::string>& arguments) const;
    // pactool with a pseudo-terminal for its console (script(1)); what the
    // terminal got, its control sequences removed.  Empty without script.
    RunResult pactoolOnTerminal(const std::vector<std::string>& arguments) const;
    // scntool as built for this machine, whichever tools are under test: the
    // other side when the Windows executables are compared with it.
    RunResult hostScntool(const std::vector<std::string>& arguments) const;

private:
    TempDir root_;
    std::string dir_;
};

}  // namespace testing_support
