// Generated binary scenarios for round-trip tests and benchmarks, built byte
// by byte from the file format, independently of the code under test.
#pragma once

#include <cstddef>
#include <string>

namespace testing_support {

struct ScenarioShape {
    std::size_t statements = 100;  // statements in the stream
    std::size_t labelEvery = 10;   // about one distinct jump target per this many statements
    std::size_t flagWords = 3;
    std::size_t longestString = 40;
};

// A scenario whose listing assembles back to it byte for byte: every jump
// targets the start of a statement or the end of the stream, and PushB
// strings hold no NUL, CR or LF (but may hold ':', '<' and '>').  The
// reserved word is 0.
std::string generateScenario(const ScenarioShape& shape, unsigned seed);

}  // namespace testing_support
