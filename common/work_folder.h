// Files the tools keep for themselves in a working folder, beside the
// members of an archive.  No member may take their place.
#pragma once

namespace pactools {

// The folder beside a scenario where scntool records, for each listing it
// writes, the binary it was listed from and the binaries it built from it.
inline constexpr const char* kRecordFolder = ".scntool";
// The scenarios of the extracted archive, one a line, that the makefile
// hands scntool as @FILE (extract writes it with the makefile).
inline constexpr const char* kScenarioListFile = ".scntool/scenarios";

}  // namespace pactools
