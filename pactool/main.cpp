#include <cstdio>
#include <string>
#include <vector>

#include "platform.h"

#include "pactool_cli.h"

int main(int argc, char** argv) {
    pactools::platform::prepareProcess("pactool");
    // The arguments as the tools hold paths (UTF-8 on Windows, whatever the ANSI code page).
    std::vector<std::string> arguments = pactools::platform::commandLineArguments(argc, argv);
    std::vector<char*> words;
    for (std::string& argument : arguments) words.push_back(argument.data());
    words.push_back(nullptr);
    return pactools::pactoolMain(static_cast<int>(arguments.size()), words.data(), stdout);
}
