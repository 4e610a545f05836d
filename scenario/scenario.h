// The scenario model all of scntool works on: a list of statements (the
// flag block first, then the statement stream) and a list of labels.
//
// Opcodes: 5 Jmp and 6 CJmp (operand: target offset in the statement
// stream), 11 PushB (operand: length of the string bytes that follow, NUL
// included), 12 PushC, 13 PushD, 14 PushE (a 32-bit value), 0xFFFF the flag
// block (never in the stream), and every other value a Call whose number is
// the opcode itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ptrvector.h"

namespace pactools {

enum Opcode : std::uint16_t {
    kJmp = 5,
    kCJmp = 6,
    kPushB = 11,
    kPushC = 12,
    kPushD = 13,
    kPushE = 14,
    kFlagBlock = 0xFFFF,
};

struct Statement {
    std::uint32_t offset = 0;    // offset in the statement stream; the flags value for the flag block
    std::uint16_t opcode = 0;
    std::uint32_t argument = 0;  // operand; the byte length of data for PushB and the flag block
    std::vector<std::uint8_t> data;  // PushB: the string and its NUL; flag block: the flag bytes
};

struct Label {
    std::uint32_t address = 0;  // statement-stream offset
    std::string name;
};

using StatementList = PtrVector<Statement>;
using LabelList = PtrVector<Label>;

// True for opcodes that a Call statement may not carry: they mean something
// else in the stream (jumps, pushes, the flag block).
bool isReservedOpcode(std::uint32_t opcode);

// Bytes a statement takes in the stream: 0 for the flag block, 6 + the
// operand for PushB, 6 for the others.
std::uint64_t statementSize(const Statement& statement);

// The name the reader gives the label of a jump target: "Label_%X".
std::string labelName(std::uint32_t address);

// Fresh lists with the growth steps scntool uses.
void initScenarioLists(StatementList& statements, LabelList& labels);

}  // namespace pactools
