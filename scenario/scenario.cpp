#include "scenario.h"

#include "text.h"

namespace pactools {

bool isReservedOpcode(std::uint32_t opcode) {
    return opcode == kJmp || opcode == kCJmp || (opcode >= kPushB && opcode <= kPushE) || opcode == kFlagBlock;
}

std::uint64_t statementSize(const Statement& statement) {
    if (statement.opcode == kFlagBlock) return 0;
    if (statement.opcode == kPushB) return 6 + static_cast<std::uint64_t>(statement.argument);
    return 6;
}

std::string labelName(std::uint32_t address) {
    return "Label_" + hexText(address);
}

void initScenarioLists(StatementList& statements, LabelList& labels) {
    ptrVectorInit(statements, 16, 16);
    ptrVectorInit(labels, 16, 16);
}

}  // namespace pactools
