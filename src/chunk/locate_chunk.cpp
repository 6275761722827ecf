// The raw-byte search for a chunk header within the first mebibyte of a file.
#include "chunk/locate_chunk.h"

#include <cstring>
#include <memory>
#include <new>

#include "chunk/chunk_header.h"
#include "stream/file_stream.h"

namespace zrk {

uint64_t locateChunkIn(const unsigned char* bytes, uint64_t size, const std::string& tag) {
    if (size < ChunkHeader::kSize || tag.size() < 4) return kChunkNotFound;
    for (uint64_t b = 0; b <= size - ChunkHeader::kSize; ++b) {
        if (std::memcmp(bytes + b, tag.data(), 4) != 0) continue;
        if (ChunkHeader::fromBytes(bytes + b).isValid()) return b;
    }
    return kChunkNotFound;
}

uint64_t locateChunk(const std::string& path, const std::string& tag) {
    FileStream file;
    if (!file.open(path, OpenMode::ReadExisting)) return kChunkNotFound;
    uint64_t n = std::min<uint64_t>(file.size(), kLocateWindow);
    if (n < ChunkHeader::kSize) return kChunkNotFound;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[n]);
    if (!buffer) return kChunkNotFound;
    if (file.read(buffer.get(), static_cast<uint32_t>(n)) != static_cast<int32_t>(n)) return kChunkNotFound;
    return locateChunkIn(buffer.get(), n, tag);
}

} // namespace zrk
