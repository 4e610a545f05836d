#include "archive_writer.h"

#include <vector>

#include "compression_pipeline.h"

namespace pactools {

namespace {

Error tooLarge(std::string_view archiveName, const std::string& name) {
    Error error = fileError(Fault::ArchiveTooLarge, std::string(archiveName));
    error.name = name;
    return error;
}

// Appends member `index`'s compressed stream, as the pipeline delivers it,
// and fills its entry.
Error appendMember(CompressionPipeline& pipeline, std::uint32_t index, const std::string& name, ByteSink& sink,
                   std::string_view archiveName, const MemberProgress& progress, PacEntry& entry) {
    entry.name = name;
    if (sink.position() > UINT32_MAX) return tooLarge(archiveName, name);
    entry.offset = static_cast<std::uint32_t>(sink.position());
    std::uint64_t size = 0;
    if (Error error = pipeline.waitOpened(index, size)) return error;
    entry.unpackedSize = static_cast<std::uint32_t>(size);
    if (progress) progress(name);
    std::vector<std::uint8_t> block;
    std::uint64_t storedSize = 0;
    for (;;) {
        Error error;
        const CompressionPipeline::Next next = pipeline.next(index, block, storedSize, error);
        if (next == CompressionPipeline::Next::Failed) return error;
        if (next == CompressionPipeline::Next::Finished) break;
        if (!sink.write(block)) return Error{Fault::WriteFailed};
    }
    if (entry.offset + storedSize > UINT32_MAX) return tooLarge(archiveName, name);
    entry.storedSize = static_cast<std::uint32_t>(storedSize);
    return {};
}

}  // namespace

Error writeArchive(const PtrVector<std::string>& names, PacHeader header, MemberSource& source, ByteSink& sink,
                   unsigned threads, std::string_view archiveName, const MemberProgress& progress) {
    header.count = names.count;
    std::uint8_t headerBytes[kPacHeaderSize];
    encodeHeader(header, headerBytes);
    std::vector<std::uint8_t> directory(kPacEntrySize * names.count, 0);
    if (!sink.write(headerBytes) || !sink.write(directory)) return Error{Fault::WriteFailed};

    CompressionPipeline pipeline(names, source, threads);
    PacEntry entry;
    for (std::uint32_t i = 0; i < names.count; ++i) {
        if (Error error = appendMember(pipeline, i, names[i], sink, archiveName, progress, entry)) return error;
        encodeEntry(entry, std::span(directory).subspan(kPacEntrySize * i).first<kPacEntrySize>());
    }
    if (!sink.writeAt(kPacHeaderSize, directory)) return Error{Fault::WriteFailed};
    return {};
}

}  // namespace pactools
