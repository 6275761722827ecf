// ChunkStream: one chunk (or, as a root, a whole chunk sequence) inside a Stream,
// with lazy child lookup for reading and padding and CRC bookkeeping for writing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chunk/chunk_header.h"

namespace zrk {

class Stream;

class ChunkStream {
public:
    ChunkStream();
    virtual ~ChunkStream();
    ChunkStream(const ChunkStream&) = delete;
    ChunkStream& operator=(const ChunkStream&) = delete;

    virtual std::string tagName() const;
    virtual int setHeader(const unsigned char* bytes);
    // Destroys the children and the data buffer and detaches; the running CRC stays.
    virtual void clear();
    // Nothing is read. A root object (fresh header, headerSize 0) spans
    // [position, position + paddedSize) and its children are the chunks found there.
    virtual int attach(Stream& stream, uint64_t position, uint64_t paddedSize);
    // Appends an empty child placed after the existing ones; 0 if the tag is taken.
    // The new child is reached with findChild(tag).
    virtual int addChild(const std::string& tag);
    // Reads the padded data region into dataBuffer(); 0 on a failed seek or short
    // read, or when the region is too large to hold (no buffer is kept then).
    virtual int readData();
    // Seals headerCrc and writes the 32 header bytes at position(). A root has no
    // header of its own and is refused.
    virtual int writeHeader();
    // Writes at the stream's current position and adds the bytes to the running CRC.
    virtual int writeData(const void* bytes, uint64_t count);
    // Pads the data written since dataPosition() to the alignment, then sets
    // dataSize and dataCrc. Does not write the header.
    virtual int finishData();
    // The first child with this tag: from the list, else by scanning the stream.
    // Null when the scan fails or ends without a match: an absent record is an answer.
    ChunkStream* child(const std::string& tag);
    // child(tag), for records that must be there: throws TqlSChunkError instead of null.
    virtual ChunkStream& findChild(const std::string& tag);
    virtual const unsigned char* dataBuffer() const;
    virtual uint64_t paddedSize() const;
    virtual uint64_t dataSize() const;
    virtual uint64_t totalSize() const;
    virtual uint64_t paddingSize() const;
    virtual uint32_t dataCrc() const;
    virtual uint64_t position() const;
    virtual uint64_t dataPosition() const;
    virtual uint32_t chunkCrc() const;
    // Also sets the padded size; 0 when the rounding would wrap (nothing changes then).
    virtual int setDataSize(uint64_t size);
    virtual void setDataCrc(uint32_t crc);
    // dataSize and dataCrc of a container from its children's headers; 0 without children.
    virtual int updateFromChildren();

    const ChunkHeader& header() const { return header_; }

private:
    Stream* stream_ = nullptr;
    uint64_t position_ = 0;
    ChunkHeader header_;
    uint64_t paddedSize_ = 0;
    std::unique_ptr<unsigned char[]> data_;
    uint32_t runningCrc_ = 0;
    std::vector<std::unique_ptr<ChunkStream>> children_;
};

} // namespace zrk
