#include "scntool_cli.h"

#include <string_view>

#include "converter.h"
#include "text.h"

namespace pactools {

int scntoolMain(int argc, char** argv, std::FILE* out) {
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "--version") {
        say(out, "scntool %s\n", PACTOOLS_VERSION);
        return 0;
    }
    if (argc < 2 || first == "-h" || first == "--help") {
        say(out, "Usage: %s <input files>\nWhere input files can be either binary or text scenario files\n\n",
            argc > 0 ? shown(argv[0]).c_str() : "scntool");
        return 0;
    }
    bool allConverted = true;
    for (int i = 1; i < argc; ++i) allConverted = convertFile(argv[i], out) && allConverted;
    return allConverted ? 0 : 1;
}

}  // namespace pactools
