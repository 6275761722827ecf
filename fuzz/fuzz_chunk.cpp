// Fuzzes the chunk reader over a byte buffer: chains of findChild through nested
// containers and readData of every chunk reached.
#include <cstdint>
#include <cstdlib>

#include "chunk/chunk_stream.h"
#include "chunk/vector_stream.h"
#include "error/tql_exception.h"

namespace {

const char* const kTags[] = {"ZRKS", "ZRKD", "INFO", "DATA", "DFDT"};

// The whole padded data region must be readable once readData has said so.
void touchData(zrk::ChunkStream& chunk) {
    if (!chunk.readData()) return;
    const unsigned char* data = chunk.dataBuffer();
    if (!data && chunk.paddedSize() != 0) std::abort();
    volatile unsigned sum = 0;
    for (uint64_t i = 0; i < chunk.paddedSize(); ++i) sum = sum + data[i];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    // Four selectors pick the path of tags, the rest is the chunk sequence.
    zrk::testing::VectorStream stream(std::vector<unsigned char>(data + 4, data + size));
    zrk::ChunkStream root;
    root.attach(stream, 0, stream.bytes.size());
    zrk::ChunkStream* chunk = &root;
    try {
        for (int depth = 0; depth < 4; ++depth) {
            const uint8_t selector = data[depth];
            if (selector % 6 == 5) break;
            chunk = &chunk->findChild(kTags[selector % 6]);
            if (chunk->totalSize() < chunk->paddedSize()) std::abort();
            touchData(*chunk);
            chunk->updateFromChildren();
        }
    } catch (const zrk::TqlSChunkError&) {
    }
    // Clearing drops the children and buffer; the root can be searched again afterwards.
    root.clear();
    root.attach(stream, 0, stream.bytes.size());
    try {
        root.findChild("ZRKD").findChild("DATA");
    } catch (const zrk::TqlSChunkError&) {
    }
    return 0;
}
