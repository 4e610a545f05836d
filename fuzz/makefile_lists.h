// What both archive fuzzers ask of a makefile they got written: its name
// lists (everything before the fixed rules, which use some of these
// characters themselves) hold no character that could turn a name into code.
#pragma once

#include <string_view>

inline bool makefileListsAreInert(std::string_view makefile) {
    const std::string_view lists = makefile.substr(0, makefile.find("\nMAKEFLAGS"));
    return lists.find_first_of(";|&'\"`*?!~#") == std::string_view::npos;
}
