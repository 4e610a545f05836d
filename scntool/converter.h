// scntool's work on one file: a binary scenario (.bin) is listed into a text
// listing (.txt) of the same name, and a listing is assembled into a binary
// scenario.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace pactools {

// Position of the extension's '.': the last '.' after the last '/' or '\',
// or npos when there is none.
std::size_t findExtension(std::string_view path);

// The output file for assembling `txtPath` (whose extension starts at
// `dot`): STEM.bin, or an existing STEM.BIN (any letter case of ".bin")
// beside it, which is then replaced instead of creating a second file.
std::string binaryOutputName(std::string_view txtPath, std::size_t dot);

// Converts one file in the direction its extension gives, printing progress,
// errors and warnings on `out`.  Returns false when it failed.
bool convertFile(const std::string& path, std::FILE* out);

// The command line: every argument converted in order.  Exit status 0 when
// all were converted (or for the usage text), 1 when any failed.
int scntoolMain(int argc, char** argv, std::FILE* out);

}  // namespace pactools
