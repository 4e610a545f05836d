// Prints the time per million statements of listing a binary scenario
// (read + listing) and of assembling a listing (parse + binary), for
// scenarios of 10^4, 10^5 and 10^6 statements with one label per ten
// statements.  Linear code shows the same time per statement at every size.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "listing_parser.h"
#include "messages.h"
#include "listing_writer.h"
#include "scenario_binary.h"
#include "scenario_generator.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main() {
    using namespace pactools;
    std::printf("%-12s %22s %22s\n", "statements", "bin->txt (s/million)", "txt->bin (s/million)");
    double first[2] = {0, 0};
    for (std::size_t count : {10000u, 100000u, 1000000u}) {
        testing_support::ScenarioShape shape;
        shape.statements = count;
        shape.labelEvery = 10;
        const std::string binary = testing_support::generateScenario(shape, 1);
        const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(binary.data()), binary.size());
        double best[2] = {1e9, 1e9};
        std::string listing;
        // Repeat until each size has run for a while, keeping the best time.
        for (double spent = 0; spent < 1.5;) {
            const auto start = Clock::now();
            StatementList statements;
            LabelList labels;
            initScenarioLists(statements, labels);
            listing.clear();
            pactools::Error error = readBinary(bytes, "bench.bin", statements, labels);
            if (!error) error = writeText(statements, labels, listing);
            if (error) {
                std::fprintf(stderr, "listing failed: %s\n", pactools::messageText(error).c_str());
                return 1;
            }
            const double listed = seconds(start);
            const auto middle = Clock::now();
            StatementList parsed;
            LabelList parsedLabels;
            initScenarioLists(parsed, parsedLabels);
            std::vector<std::uint8_t> rebuilt;
            error = parseText(listing, parsed, parsedLabels);
            if (!error) error = writeBinary(parsed, rebuilt);
            if (error) {
                std::fprintf(stderr, "assembling failed: %s\n", pactools::messageText(error).c_str());
                return 1;
            }
            const double assembled = seconds(middle);
            if (rebuilt.size() != binary.size()) {
                std::fprintf(stderr, "round trip changed the scenario\n");
                return 1;
            }
            best[0] = std::min(best[0], listed);
            best[1] = std::min(best[1], assembled);
            spent += listed + assembled;
        }
        const double perMillion[2] = {best[0] * 1e6 / static_cast<double>(count), best[1] * 1e6 / static_cast<double>(count)};
        if (first[0] == 0) {
            first[0] = perMillion[0];
            first[1] = perMillion[1];
        }
        std::printf("%-12zu %22.3f %22.3f   (x%.2f, x%.2f of the 10^4 case)\n", count, perMillion[0], perMillion[1],
                    perMillion[0] / first[0], perMillion[1] / first[1]);
    }
    return 0;
}
