// Generated inputs of the kinds game data holds, for codec tests and
// benchmarks.  Every generator is deterministic for a given seed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace testing_support {

enum class CorpusKind { Random, Zeros, Text, Runs, MachineCode, HighBytes, Periodic, Mixed };

std::string corpusBytes(CorpusKind kind, std::size_t size, unsigned seed);
const std::vector<CorpusKind>& allCorpusKinds();
const char* corpusKindName(CorpusKind kind);

}  // namespace testing_support
