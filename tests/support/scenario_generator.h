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
    std::size_t stringPool = 0;  // when not 0, half the strings are drawn from this many texts (lines that repeat)
    bool controlBytes = false;   // strings may hold bytes 0x01-0x1F other than CR and LF
};

// A scenario whose listing assembles back to it byte for byte: every jump
// targets the start of a statement or the end of the stream, and PushB
// strings hold no NUL, CR or LF (but may hold ':', '<' and '>', and other
// control bytes when asked).  The
// reserved word is 0.
std::string generateScenario(const ScenarioShape& shape, unsigned seed);

}  // namespace testing_support
