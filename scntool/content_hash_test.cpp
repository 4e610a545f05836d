#include "content_hash.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "test_support.h"

namespace pactools {
namespace {

TEST(ContentHash, KnownDigests) {
    EXPECT_EQ(contentHash(std::string_view()), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(contentHash(std::string_view("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(contentHash(std::string_view("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(contentHash(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Every length around the block and padding boundaries, against the
// system's sha256sum.
TEST(ContentHash, AgreesWithSha256sumOnEveryLengthAroundTheBlocks) {
    if (std::system("sha256sum --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no sha256sum";
    testing_support::TempDir dir;
    std::string command = "cd " + dir.path() + " && sha256sum";
    for (std::size_t size = 0; size <= 200; ++size) {
        testing_support::writeFile(dir / std::to_string(size), testing_support::randomBytes(size, static_cast<unsigned>(size)));
        command += " " + std::to_string(size);
    }
    std::FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[256];
    std::size_t size = 0;
    for (; std::fgets(line, sizeof line, pipe) != nullptr; ++size) {
        EXPECT_EQ(contentHash(testing_support::randomBytes(size, static_cast<unsigned>(size))), std::string(line, 64)) << size;
    }
    ::pclose(pipe);
    EXPECT_EQ(size, 201u);
}

}  // namespace
}  // namespace pactools
