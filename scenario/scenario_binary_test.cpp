#include "scenario_binary.h"

#include <gtest/gtest.h>

#include "messages.h"

#include "test_support.h"

namespace pactools {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Builds a scenario file: header fields, then the raw bytes that follow.
Bytes scenarioFile(std::uint32_t reserved, std::uint32_t flags, std::uint32_t flagWords, std::uint32_t codeSize,
                   const Bytes& rest) {
    Bytes file;
    for (std::uint32_t v : {reserved, flags, flagWords, codeSize}) {
        for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    file.insert(file.end(), rest.begin(), rest.end());
    return file;
}

Bytes op(std::uint16_t opcode, std::uint32_t operand) {
    return {static_cast<std::uint8_t>(opcode), static_cast<std::uint8_t>(opcode >> 8),
            static_cast<std::uint8_t>(operand), static_cast<std::uint8_t>(operand >> 8),
            static_cast<std::uint8_t>(operand >> 16), static_cast<std::uint8_t>(operand >> 24)};
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Loaded {
    StatementList statements;
    LabelList labels;
    std::string error;
    bool ok = false;
    explicit Loaded(const Bytes& file) {
        initScenarioLists(statements, labels);
        error = messageText(readBinary(file, "s.bin", statements, labels));
        ok = error.empty();
    }
};

Bytes bytesOfFile(const std::string& path) {
    const std::string s = testing_support::readFile(path);
    return Bytes(s.begin(), s.end());
}

TEST(ScenarioBinary, ReferenceScenariosSaveBackByteForByte) {
    for (int n = 1; n <= 6; ++n) {
        const Bytes original = bytesOfFile(testing_support::dataPath("scenario/sample" + std::to_string(n) + ".bin"));
        Loaded loaded(original);
        ASSERT_TRUE(loaded.ok) << loaded.error;
        Bytes saved;
        ASSERT_FALSE(writeBinary(loaded.statements, saved));
        EXPECT_EQ(saved, original) << "sample" << n;
    }
}

TEST(ScenarioBinary, LoadsFlagBlockStatementsAndOneLabelPerTarget) {
    const Bytes file = scenarioFile(0xDEAD, 7, 1, 6 + 6 + 12 + 6 + 6,
                                    Bytes{1, 2, 3, 4} + op(kJmp, 0x1E) + op(kCJmp, 0) + op(kPushB, 6) +
                                        Bytes{'a', 'b', 'c', 'd', 'e', 0} + op(kJmp, 0x1E) + op(0x1F, 2));
    Loaded loaded(file);
    ASSERT_TRUE(loaded.ok) << loaded.error;
    ASSERT_EQ(loaded.statements.count, 6u);
    const Statement& flags = loaded.statements[0];
    EXPECT_EQ(flags.opcode, kFlagBlock);
    EXPECT_EQ(flags.offset, 7u);
    EXPECT_EQ(flags.argument, 4u);
    EXPECT_EQ(flags.data, (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(loaded.statements[3].offset, 12u);
    EXPECT_EQ(loaded.statements[3].data.size(), 6u);
    EXPECT_EQ(loaded.statements[4].offset, 24u);  // the PushB took 12 bytes
    EXPECT_EQ(loaded.statements[5].opcode, 0x1F);
    ASSERT_EQ(loaded.labels.count, 2u);  // two jumps to 0x1E make one label
    EXPECT_EQ(loaded.labels[0].name, "Label_1E");
    EXPECT_EQ(loaded.labels[1].name, "Label_0");

    Bytes saved;
    ASSERT_FALSE(writeBinary(loaded.statements, saved));
    EXPECT_EQ(Bytes(saved.begin() + 4, saved.end()), Bytes(file.begin() + 4, file.end()));
    EXPECT_EQ(Bytes(saved.begin(), saved.begin() + 4), (Bytes{0, 0, 0, 0}));  // reserved comes back as 0
}

TEST(ScenarioBinary, EveryTargetValueMakesOneLabel) {
    Bytes stream;
    for (std::uint32_t target : {0xFFFFFFFFu, 0u, 0xFFFFFFFFu, 6u, 0u}) stream = stream + op(kJmp, target);
    Loaded loaded(scenarioFile(0, 0, 0, 30, stream));
    ASSERT_TRUE(loaded.ok) << loaded.error;
    ASSERT_EQ(loaded.labels.count, 3u);
    EXPECT_EQ(loaded.labels[0].name, "Label_FFFFFFFF");
    EXPECT_EQ(loaded.labels[1].name, "Label_0");
    EXPECT_EQ(loaded.labels[2].name, "Label_6");
}

TEST(ScenarioBinary, NoFlagWordsStillGivesAFlagBlock) {
    Loaded loaded(scenarioFile(0, 3, 0, 6, op(kPushC, 1)));
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.statements[0].opcode, kFlagBlock);
    EXPECT_EQ(loaded.statements[0].argument, 0u);
    EXPECT_TRUE(loaded.statements[0].data.empty());
    EXPECT_EQ(loaded.labels.count, 0u);
}

TEST(ScenarioBinary, RefusesFilesThatDoNotHoldWhatTheyClaim) {
    struct Case {
        Bytes file;
        const char* message;
    };
    const Case cases[] = {
        {Bytes(15, 0), "s.bin: file too short for a scenario header at offset 0x0"},
        {scenarioFile(0, 0, 2, 0, Bytes(7, 0)), "s.bin: flag data runs past the end of the file at offset 0x10"},
        {scenarioFile(0, 0, 0xFFFFFFFF, 0, {}), "s.bin: flag data runs past the end of the file at offset 0x10"},
        {scenarioFile(0, 0, 1, 12, Bytes(4, 0) + op(kPushC, 1) + Bytes{1, 2}),
         "s.bin: statement runs past the end of the file at offset 0x1A"},
        {scenarioFile(0, 0, 0, 0xFFFFFFFF, op(kPushC, 1)), "s.bin: statement runs past the end of the file at offset 0x16"},
        {scenarioFile(0, 0, 0, 20, op(kPushB, 0xFFFFFFFF) + Bytes{'a', 0}),
         "s.bin: PushB string runs past the end of the file at offset 0x10"},
        {scenarioFile(0, 0, 0, 9, op(kPushB, 3) + Bytes{'a', 'b', 'c'}), "s.bin: PushB string holds no NUL at offset 0x10"},
        {scenarioFile(0, 0, 0, 12, op(kPushC, 1) + op(0xFFFF, 0)), "s.bin: opcode FFFF in the statement stream at offset 0x16"},
    };
    for (const Case& c : cases) {
        Loaded loaded(c.file);
        EXPECT_FALSE(loaded.ok) << c.message;
        EXPECT_EQ(loaded.error, c.message);
    }
}

TEST(ScenarioBinary, CodeSizeIsTheTotalOfTheStatements) {
    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    Bytes saved;
    std::string error;
    EXPECT_EQ(messageText(writeBinary(statements, saved)), "Scenario can't be empty !");

    auto flags = std::make_unique<Statement>();
    flags->offset = 0x55;  // the flags value, not an offset
    flags->opcode = kFlagBlock;
    flags->argument = 4;
    flags->data = {9, 8, 7, 6};
    ptrVectorPush(statements, std::move(flags));
    ASSERT_FALSE(writeBinary(statements, saved));
    EXPECT_EQ(saved, scenarioFile(0, 0x55, 1, 0, {9, 8, 7, 6}));  // code size 0

    auto push = std::make_unique<Statement>();
    push->opcode = kPushD;
    push->argument = 0x10;
    ptrVectorPush(statements, std::move(push));
    ASSERT_FALSE(writeBinary(statements, saved));
    EXPECT_EQ(saved, scenarioFile(0, 0x55, 1, 6, Bytes{9, 8, 7, 6} + op(kPushD, 0x10)));
}

TEST(ScenarioBinary, RefusesModelsTheFileCannotCarry) {
    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    auto push = std::make_unique<Statement>();
    push->opcode = kPushC;
    ptrVectorPush(statements, std::move(push));
    auto flags = std::make_unique<Statement>();
    flags->opcode = kFlagBlock;
    ptrVectorPush(statements, std::move(flags));
    Bytes saved;
    std::string error;
    EXPECT_TRUE(writeBinary(statements, saved));  // flag block not first

    StatementList odd;
    ptrVectorInit(odd, 16, 16);
    flags = std::make_unique<Statement>();
    flags->opcode = kFlagBlock;
    flags->argument = 3;
    flags->data = {1, 2, 3};
    ptrVectorPush(odd, std::move(flags));
    EXPECT_TRUE(writeBinary(odd, saved));  // not a whole number of words
}

}  // namespace
}  // namespace pactools
