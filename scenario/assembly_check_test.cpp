#include "assembly_check.h"

#include <gtest/gtest.h>

#include "listing_parser.h"
#include "messages.h"
#include "scenario_binary.h"

namespace pactools {
namespace {

// A translated binary that passes, and each kind of damage the check must
// catch in it: a jump that lost its statement, strings that are not what
// they should be, a changed operand or flag block.
TEST(AssemblyCheck, PassesTheTranslatedBinaryAndCatchesEveryDamage) {
    const std::string listing = "Flags(7, 4)\n01020304\nTop:\nPushB\t<Hello>\nCJmp\tEnd\nPushB\t<Stays>\nPushC\t5\nJmp\tTop\nEnd:\n";
    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    ASSERT_FALSE(parseText(listing, statements, labels));
    // "Hello" (statement 1) becomes a longer string, by hand.
    const std::vector<StringReplacement> replaced = {{1, "Hallo, Welt"}};
    Statement& hello = statements[1];
    hello.data.assign(replaced[0].bytes.begin(), replaced[0].bytes.end());
    hello.data.push_back(0);
    hello.argument = static_cast<std::uint32_t>(hello.data.size());
    // The jumps' operands by hand too: CJmp to the end, Jmp to 0.
    const std::uint32_t end = 6 + 12 + 6 + 6 + 6 + 6 + 6;  // PushB, CJmp, PushB <Stays>, PushC, Jmp
    statements[2].argument = end;
    std::vector<std::uint8_t> good;
    ASSERT_FALSE(writeBinary(statements, good));
    ASSERT_FALSE(checkTranslatedBinary(listing, replaced, good));

    // Offsets in the file: header 16, flags 4, PushB at 20 (string at 26),
    // CJmp at 38 (operand at 40), PushB <Stays> at 44 (string at 50), PushC
    // at 56 (operand 58), Jmp at 62.
    const struct {
        std::size_t at;
        std::uint8_t value;
        const char* message;
    } damages[] = {
        {40, static_cast<std::uint8_t>(end - 6), "s.txt:5: the translated binary failed its check (the jump lands elsewhere than on the statement its label names); nothing was written"},
        {64, 18, "s.txt:8: the translated binary failed its check (the jump lands elsewhere than on the statement its label names); nothing was written"},
        {50, 's', "s.txt:6: the translated binary failed its check (the untranslated string changed); nothing was written"},
        {26, 'h', "s.txt:4: the translated binary failed its check (the string is not its translation); nothing was written"},
        {58, 6, "s.txt:7: the translated binary failed its check (the operand changed); nothing was written"},
        {16, 9, "s.txt:1: the translated binary failed its check (the flag block differs); nothing was written"},
    };
    for (const auto& damage : damages) {
        std::vector<std::uint8_t> bad = good;
        ASSERT_LT(damage.at, bad.size());
        bad[damage.at] = damage.value;
        Error error = checkTranslatedBinary(listing, replaced, bad);
        error.file = "s.txt";
        EXPECT_EQ(messageText(error), damage.message) << damage.at;
    }
}

}  // namespace
}  // namespace pactools
