#include "converter.h"

#include <gtest/gtest.h>

#include "platform.h"
#include "test_support.h"

namespace pactools {
namespace {

TEST(Converter, TheExtensionFollowsTheLastSeparator) {
    EXPECT_EQ(findExtension("a.bin"), 1u);
    EXPECT_EQ(findExtension("dir.x/a.b.txt"), 9u);
    EXPECT_EQ(findExtension("dir.x\\name"), std::string::npos);
    EXPECT_EQ(findExtension("dir.x/name"), std::string::npos);
    EXPECT_EQ(findExtension("name"), std::string::npos);
    EXPECT_EQ(findExtension(".bin"), 0u);
}

TEST(Converter, AssemblingReplacesAnExistingBinaryOfAnyLetterCase) {
    testing_support::TempDir dir;
    const std::string txt = dir / "scene.txt";
    EXPECT_EQ(binaryOutputName(txt, txt.size() - 4), dir / "scene.bin");
    if (platform::kWindows) return;  // file names there ignore letter case anyway
    testing_support::writeFile(dir / "scene.BIN", "");
    EXPECT_EQ(binaryOutputName(txt, txt.size() - 4), dir / "scene.BIN");
    testing_support::writeFile(dir / "scene.bin", "");
    EXPECT_EQ(binaryOutputName(txt, txt.size() - 4), dir / "scene.bin");  // the exact name wins
}

}  // namespace
}  // namespace pactools
