#include "scenario_faults.h"

#include "messages.h"
#include "platform.h"
#include "text.h"

namespace pactools {

namespace {

std::string atLine(const char* what, std::uint64_t line) {
    return std::string(what) + " in scenario file at line: " + number(line);
}

std::string message(const Error& e) {
    const std::string file = shown(e.file);
    const std::string name = shown(e.name);  // a path, msgid or code page
    switch (static_cast<ScenarioFault>(e.fault.code)) {
    case ScenarioFault::ScenarioTooShort: return atOffset(e, "file too short for a scenario header");
    case ScenarioFault::FlagDataPastEnd: return atOffset(e, "flag data runs past the end of the file");
    case ScenarioFault::StatementPastEnd: return atOffset(e, "statement runs past the end of the file");
    case ScenarioFault::FlagOpcodeInStream: return atOffset(e, "opcode FFFF in the statement stream");
    case ScenarioFault::PushBPastEnd: return atOffset(e, "PushB string runs past the end of the file");
    case ScenarioFault::PushBWithoutNul: return atOffset(e, "PushB string holds no NUL");
    case ScenarioFault::ScenarioEmpty: return "Scenario can't be empty !";
    case ScenarioFault::FlagBlockNotFirst: return "The flag block must come before every statement";
    case ScenarioFault::FlagBlockLength: return "The flag block's length must be a multiple of 4";
    case ScenarioFault::PushBLength: return "A PushB statement's length differs from its string";
    case ScenarioFault::StatementsTooLarge: return "The statements take 4 GiB or more";
    case ScenarioFault::SyntaxError: return atLine("Syntax error", e.at);
    case ScenarioFault::NotEnoughFlagData: return atLine("Not enough data for flags", e.at);
    case ScenarioFault::UndefinedSymbol:
        return "Error in scenario file at line " + number(e.at) + ", undefined symbol '" + shownName(e.name) + "'";
    case ScenarioFault::CallIsNotACall: return atLine(("Call number " + hex(e.of) + " is not a call").c_str(), e.at);
    case ScenarioFault::FlagsNotFirst: return atLine("Flags must come before every statement", e.at);
    case ScenarioFault::FlagsLengthNotMultiple: return atLine("Flags length must be a multiple of 4", e.at);
    case ScenarioFault::JumpWithoutLabel: return atLine("Jump without a label", e.at);
    case ScenarioFault::StatementsReach4GiB: return atLine("Statements reach 4 GiB", e.at);
    case ScenarioFault::ListingOutOfMemory: return atLine("Out of memory", e.at);
    case ScenarioFault::MissingLabel: return "Error: No label at " + hex(e.at, 8) + ".";
    case ScenarioFault::PoPlural:
        return file + ":" + number(e.at) + ": the entry '" + name + "' has plural forms, which scenarios do not have";
    case ScenarioFault::PoDuplicateEntry:
        return file + ":" + number(e.at) + ": a second entry for '" + name + "' (the first is at line " + number(e.of) +
               "); each string may have one entry only";
    case ScenarioFault::StringHoldsControlPicture:
        return "Warning: " + file + ":" + number(e.at) +
               ": the string is left out of the template: it holds a control picture (U+2401 to U+241F), which "
               "templates use for control bytes";
    case ScenarioFault::StringHoldsByteNotation:
        return "Warning: " + file + ":" + number(e.at) +
               ": the string is left out of the template: it holds a character from U+F0080 to U+F00FF, which "
               "templates use for bytes the code page does not define";
    case ScenarioFault::TranslationUnmappable:
        return file + ":" + number(e.at) + ": the translation of '" + name + "' holds " + e.detail;
    case ScenarioFault::TranslationNotUtf8:
        return file + ":" + number(e.at) + ": the translation of '" + name + "' is not valid UTF-8";
    case ScenarioFault::TranslationLineBreak:
        return file + ":" + number(e.at) + ": the translation of '" + name +
               "' holds a NUL, CR or LF, which a listing cannot hold";
    case ScenarioFault::TranslationNotReadBack:
        return file + ":" + number(e.at) + ": the translation of '" + name +
               "' would not read back as written: a byte written as its stand-in (U+F0080 to U+F00FF) makes one "
               "character with what follows it";
    case ScenarioFault::PoControlBytes:
        return "Warning: " + file + ":" + number(e.at) + ": the translation of '" + name +
               "' does not hold the control bytes its source holds";
    case ScenarioFault::JumpIntoStatement: return "A jump or label names offset 0x" + hex(e.at) + ", inside a statement";
    case ScenarioFault::TranslatedBinaryWrong:
        return file + ":" + number(e.at) + ": the translated binary failed its check (" + e.detail +
               "); nothing was written";
    }
    return "Unknown error";
}

const FaultDomain kDomain{message, {}, nullptr};

}  // namespace

const FaultDomain& faultDomain(ScenarioFault) {
    return kDomain;
}

}  // namespace pactools
