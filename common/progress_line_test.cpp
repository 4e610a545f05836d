#include "progress_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

namespace pactools {
namespace {

TEST(ProgressLineText, ShareRateAndTimeLeft) {
    EXPECT_EQ(ProgressLine::text(50'000'000, 100'000'000, 2.0), " 50.0%  25.0 MB/s  0:02 left");
    EXPECT_EQ(ProgressLine::text(0, 100, 0.6), "  0.0%  0.0 MB/s");
    EXPECT_EQ(ProgressLine::text(200, 100, 1.0), " 99.9%  0.0 MB/s");  // never past the end before it ends
    EXPECT_EQ(ProgressLine::text(100'000'000, 6'100'000'000, 1.0), "  1.6%  100.0 MB/s  1:00 left");
}

std::string contents(std::FILE* file) {
    std::fflush(file);
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fseek(file, 0, SEEK_END);
    return text;
}

// What a terminal gets: nothing before the delay; after it the line, taken
// out of the way of the tool's own lines and erased at the end.  (The line
// is drawn once: the redraw interval is longer than the test.)
TEST(ProgressLine, DrawnAfterItsDelayOnlyAndErasedAroundLinesAndAtTheEnd) {
    using std::chrono::hours;
    using std::chrono::milliseconds;
    for (const bool late : {false, true}) {
        std::FILE* out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        {
            ProgressLine line(100, true, ProgressDisplay{out, late ? milliseconds(hours(1)) : milliseconds(0), hours(1)});
            line.add(50);
            bool drawn = false;
            for (int tries = 0; !late && !drawn && tries < 10000; ++tries) {
                line.around([&] { drawn = contents(out).find('%') != std::string::npos; });
                if (!drawn) std::this_thread::sleep_for(milliseconds(1));
            }
            EXPECT_EQ(drawn, !late);
            line.around([&] { std::fputs("Extracting a\n", out); });
            line.add(50);
        }
        const std::string text = contents(out);
        std::fclose(out);
        if (late) {
            EXPECT_EQ(text, "Extracting a\n");
            continue;
        }
        // "\r" + the line + "\r" + as many blanks + "\r" + the tool's line.
        ASSERT_TRUE(text.starts_with("\r")) << text;
        const std::size_t drawnLength = text.find('\r', 1) - 1;
        const std::string drawn = text.substr(1, drawnLength);
        EXPECT_TRUE(drawn.find("%  ") != std::string::npos && drawn.find(" MB/s") != std::string::npos) << text;
        EXPECT_EQ(text.substr(1 + drawnLength), "\r" + std::string(drawnLength, ' ') + "\rExtracting a\n");
    }
}

}  // namespace
}  // namespace pactools
