// A scenario's files: the binary NAME.bin, the listing NAME.txt and the
// record of where the listing came from (scenario_record.h), and where the
// binary stands against that record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "error.h"
#include "scenario_record.h"

namespace pactools {

struct ScenarioFiles {
    std::string stem;    // the path without extension
    std::string binary;  // NAME.bin (or an existing NAME.BIN in another letter case)
    std::string listing;  // NAME.txt
    std::string recordFile;
    bool hasBinary = false;
    bool hasListing = false;
    bool hasRecord = false;
    std::vector<std::uint8_t> binaryBytes;
    std::string binaryHash;
    ScenarioRecord record;
};

// Where the binary stands against the listing's record.
enum class Provenance {
    NoListing,    // there is no listing
    ByHand,       // the listing has no record: written by hand or elsewhere
    NoBinary,     // there is no binary (yet)
    Source,       // the binary the listing was listed from
    Built,        // a binary built from the listing
    NewOriginal,  // none of these: a new version of the game's scenario
};

// The files of the scenario whose binary or listing is `path` (its
// extension at `dot`): the binary is read when it exists, and the record.
// Fails when the binary cannot be read or the record is damaged.
Error inspectScenario(const std::string& path, std::size_t dot, ScenarioFiles& files);

Provenance provenanceOf(const ScenarioFiles& files);

// The refusal to assemble a listing over a new original (NewOriginal).
Error newOriginalError(const ScenarioFiles& files);

// Fails with ListingOfEarlierOriginal when `listing` (the text of
// files.listing) assembles, without translations, to what the listing of
// an earlier original of the scenario did: a copy of the old listing
// brought back over the new one.  `assembled`, when given, is that binary
// already.
Error checkNotRetired(std::string_view listing, const ScenarioFiles& files,
                      const std::vector<std::uint8_t>* assembled = nullptr);

}  // namespace pactools
