// Fuzzes the search for a chunk header: over memory, and over the same bytes as a
// file, which must find the same position within the search window.
#include <cstdint>
#include <cstdlib>

#include "chunk/locate_chunk.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static zrk::fuzz::ScratchFolder folder;
    for (const char* tag : {"ZRKS", "ZRKD"}) {
        const uint64_t inMemory = zrk::locateChunkIn(data, size, tag);
        if (inMemory != zrk::kChunkNotFound && inMemory + 32 > size) std::abort();
        folder.write("payload.exe", data, size);
        const uint64_t inFile = zrk::locateChunk(folder.path("payload.exe"), tag);
        if (size <= zrk::kLocateWindow && inFile != inMemory) std::abort();
    }
    // A tag shorter than four bytes finds nothing rather than reading past it.
    if (zrk::locateChunkIn(data, size, "ZR") != zrk::kChunkNotFound) std::abort();
    return 0;
}
