#include "listing_writer.h"

#include <gtest/gtest.h>

#include "messages.h"

#include "scenario_binary.h"
#include "test_support.h"

namespace pactools {
namespace {

struct Model {
    StatementList statements;
    LabelList labels;
    Model() { initScenarioLists(statements, labels); }
    Model& flags(std::uint32_t value, std::vector<std::uint8_t> data) {
        auto s = std::make_unique<Statement>();
        s->offset = value;
        s->opcode = kFlagBlock;
        s->argument = static_cast<std::uint32_t>(data.size());
        s->data = std::move(data);
        ptrVectorPush(statements, std::move(s));
        return *this;
    }
    Model& statement(std::uint32_t offset, std::uint16_t opcode, std::uint32_t argument, std::string text = {}) {
        auto s = std::make_unique<Statement>();
        s->offset = offset;
        s->opcode = opcode;
        s->argument = argument;
        if (opcode == kPushB) s->data.assign(text.begin(), text.end()), s->data.push_back(0);
        ptrVectorPush(statements, std::move(s));
        return *this;
    }
    Model& label(std::uint32_t address, const std::string& name) {
        ptrVectorPush(labels, std::make_unique<Label>(Label{address, name}));
        return *this;
    }
    // The listing; a failed one ends with its error's line, as scntool ends it.
    std::string listing(bool expectOk = true) {
        std::string text;
        const Error error = writeText(statements, labels, text);
        EXPECT_EQ(!error, expectOk);
        if (error) text += messageText(error) + "\n";
        return text;
    }
};

TEST(ListingWriter, ReferenceScenariosListExactly) {
    for (int n = 1; n <= 6; ++n) {
        const std::string name = "scenario/sample" + std::to_string(n);
        const std::string bin = testing_support::readFile(testing_support::dataPath(name + ".bin"));
        Model m;
        ASSERT_FALSE(readBinary({reinterpret_cast<const std::uint8_t*>(bin.data()), bin.size()}, "s", m.statements,
                                m.labels));
        EXPECT_EQ(m.listing(), testing_support::readFile(testing_support::dataPath(name + ".txt"))) << name;
    }
}

TEST(ListingWriter, LabelsStandBeforeTheirStatementOrAtTheEnd) {
    Model m;
    m.flags(3, {}).statement(0, kCJmp, 0xC).statement(6, kPushC, 1).label(0xC, "Label_C");
    EXPECT_EQ(m.listing(), "Flags(3, 0)\nCJmp\tLabel_C\nPushC\t1\nLabel_C:\n");
}

std::string repeated(const std::string& unit, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += unit;
    return s;
}

TEST(ListingWriter, FlagBytesFortyToALine) {
    Model m;
    m.flags(0x1F, std::vector<std::uint8_t>(41, 0xAB));
    EXPECT_EQ(m.listing(), "Flags(1F, 29)\n" + repeated("AB", 40) + "\nAB\n");
    Model exact;
    exact.flags(0, std::vector<std::uint8_t>(40, 0x05));
    EXPECT_EQ(exact.listing(), "Flags(0, 28)\n" + repeated("05", 40) + "\n");
}

TEST(ListingWriter, EveryOtherOpcodeIsACall) {
    Model m;
    m.flags(0, {})
        .statement(0, 0, 0)
        .statement(6, 7, 0x10)
        .statement(12, 10, 1)
        .statement(18, 15, 0xFFFFFFFF)
        .statement(24, 0xFFFE, 2)
        .statement(30, kPushD, 0xAB)
        .statement(36, kPushE, 0)
        .statement(42, kPushB, 3, "a:b>c");
    EXPECT_EQ(m.listing(), "Flags(0, 0)\nCall\t0(0)\nCall\t7(10)\nCall\tA(1)\nCall\tF(FFFFFFFF)\nCall\tFFFE(2)\n"
                           "PushD\tAB\nPushE\t0\nPushB\t<a:b>c>\n");
}

TEST(ListingWriter, OnlyTheFirstLabelAtAnAddressIsUsed) {
    Model m;
    m.flags(0, {}).statement(0, kJmp, 6).statement(6, kJmp, 3).label(6, "first").label(6, "second").label(3, "inside");
    // A label inside a statement is named by its jumps but never defined.
    EXPECT_EQ(m.listing(), "Flags(0, 0)\nJmp\tfirst\nfirst:\nJmp\tinside\n");
}

TEST(ListingWriter, StatementsOutOfAddressOrderStillFindTheirLabels) {
    Model m;
    m.flags(0, {}).statement(12, kPushC, 1).statement(0, kJmp, 12).statement(6, kPushC, 2);
    m.label(0, "zero").label(12, "twelve").label(6, "six");
    EXPECT_EQ(m.listing(), "Flags(0, 0)\ntwelve:\nPushC\t1\nzero:\nJmp\ttwelve\nsix:\nPushC\t2\ntwelve:\n");
}

TEST(ListingWriter, AJumpWithoutLabelEndsTheListingWithAnError) {
    Model m;
    m.flags(0, {}).statement(0, kPushC, 1).statement(6, kJmp, 0x40);
    EXPECT_EQ(m.listing(false), "Flags(0, 0)\nPushC\t1\nError: No label at 00000006.\n");
}

}  // namespace
}  // namespace pactools
