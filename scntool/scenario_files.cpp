#include "scenario_files.h"

#include "content_hash.h"
#include "converter.h"
#include "file_io.h"
#include "scntool_faults.h"
#include "text.h"

namespace pactools {

Error inspectScenario(const std::string& path, std::size_t dot, ScenarioFiles& files) {
    files = {};
    files.stem = path.substr(0, dot);
    const bool isBinary = equalsIgnoreCase(std::string_view(path).substr(dot), ".bin");
    files.listing = files.stem + ".txt";
    if (equalsIgnoreCase(std::string_view(path).substr(dot), ".txt")) files.listing = path;
    files.binary = isBinary ? path : binaryOutputName(path, dot);
    files.recordFile = recordPath(files.stem);
    files.hasListing = pathExists(files.listing);
    if (pathExists(files.binary)) {
        if (Error error = readWholeFile(files.binary, files.binaryBytes)) return error;
        files.hasBinary = true;
        files.binaryHash = contentHash(files.binaryBytes);
    }
    if (Error error = readRecord(files.recordFile, files.record, files.hasRecord)) {
        error.name = files.listing;
        return error;
    }
    return {};
}

Provenance provenanceOf(const ScenarioFiles& files) {
    if (!files.hasListing) return Provenance::NoListing;
    if (!files.hasRecord) return Provenance::ByHand;
    if (!files.hasBinary) return Provenance::NoBinary;
    if (files.binaryHash == files.record.source) return Provenance::Source;
    if (files.record.knows(files.binaryHash)) return Provenance::Built;
    return Provenance::NewOriginal;
}

Error checkNotRetired(std::string_view listing, const ScenarioFiles& files, const std::vector<std::uint8_t>* assembled) {
    if (files.record.retired.empty()) return {};
    std::vector<std::uint8_t> own;
    if (assembled == nullptr) {
        if (assembleInMemory(listing, files.listing, nullptr, own, nullptr)) return {};  // told where it is built
        assembled = &own;
    }
    if (!files.record.isRetired(contentHash(*assembled))) return {};
    Error error = fileError(ScntoolFault::ListingOfEarlierOriginal, files.listing);
    error.name = files.binary;
    return error;
}

Error newOriginalError(const ScenarioFiles& files) {
    Error error = fileError(ScntoolFault::NewOriginal, files.listing);
    error.name = files.binary;
    return error;
}

}  // namespace pactools
