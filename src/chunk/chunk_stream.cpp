// Reading and writing the chunk format through a Stream. Every size taken from a
// header is checked before it is added to a position or used for an allocation.
#include "chunk/chunk_stream.h"

#include <cstring>
#include <new>

#include "crypto/crc32.h"
#include "error/tql_exception.h"
#include "stream/stream.h"

namespace zrk {
namespace {

// One Stream transfer moves at most a signed 32-bit count.
constexpr uint64_t kMaxTransfer = 0x7FFFFFFF;

uint64_t saturatingAdd(uint64_t a, uint64_t b) { return b > UINT64_MAX - a ? UINT64_MAX : a + b; }

// Tags are compared as 4 raw bytes; a shorter argument is zero-filled like a stored tag.
std::array<unsigned char, 4> tagBytes(const std::string& tag) {
    std::array<unsigned char, 4> bytes{};
    for (size_t i = 0; i < 4 && i < tag.size(); ++i) bytes[i] = static_cast<unsigned char>(tag[i]);
    return bytes;
}

} // namespace

ChunkStream::ChunkStream() = default;

ChunkStream::~ChunkStream() { clear(); }

std::string ChunkStream::tagName() const { return header_.tag(); }

int ChunkStream::setHeader(const unsigned char* bytes) {
    header_ = ChunkHeader::fromBytes(bytes);
    return 1;
}

void ChunkStream::clear() {
    children_.clear();
    data_.reset();
    stream_ = nullptr;
    position_ = 0;
    header_ = ChunkHeader();
    paddedSize_ = 0;
}

int ChunkStream::attach(Stream& stream, uint64_t position, uint64_t paddedSize) {
    stream_ = &stream;
    position_ = position;
    paddedSize_ = paddedSize;
    return 1;
}

int ChunkStream::addChild(const std::string& tag) {
    uint64_t p = dataPosition();
    for (const auto& child : children_) {
        if (child->tagName() == tag) return 0;
        p = saturatingAdd(p, child->totalSize());
    }
    auto child = std::make_unique<ChunkStream>();
    child->header_.setTag(tag);
    child->header_.setHeaderSize(ChunkHeader::kSize);
    child->header_.setAlignment(ChunkHeader::kDefaultAlignment);
    child->stream_ = stream_;
    child->position_ = p;
    children_.push_back(std::move(child));
    header_.setContainerFlag(1);
    return 1;
}

int ChunkStream::readData() {
    data_.reset();
    if (paddedSize_ == 0) return 1;
    // The whole region must arrive in one read, which bounds what is worth allocating.
    if (stream_ == nullptr || paddedSize_ > kMaxTransfer) return 0;
    auto count = static_cast<uint32_t>(paddedSize_);
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[count]);
    if (!buffer) return 0;
    if (!stream_->seek(dataPosition())) return 0;
    if (stream_->read(buffer.get(), count) != static_cast<int32_t>(count)) return 0;
    data_ = std::move(buffer);
    return 1;
}

int ChunkStream::writeHeader() {
    // Only a real chunk has header bytes; a root's position is its first child's.
    if (stream_ == nullptr || header_.headerSize() != ChunkHeader::kSize) return 0;
    header_.sealHeaderCrc();
    if (!stream_->seek(position_)) return 0;
    return stream_->write(header_.bytes(), ChunkHeader::kSize) == int32_t(ChunkHeader::kSize) ? 1 : 0;
}

int ChunkStream::writeData(const void* bytes, uint64_t count) {
    Crc32 crc;
    auto p = static_cast<const unsigned char*>(bytes);
    for (uint64_t done = 0; done < count;) {
        uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(count - done, kMaxTransfer));
        runningCrc_ = crc.update(p + done, piece, runningCrc_);
        done += piece;
    }
    // A count one transfer cannot carry is refused rather than cut short.
    if (stream_ == nullptr || count > kMaxTransfer) return 0;
    return stream_->write(bytes, static_cast<uint32_t>(count)) == static_cast<int32_t>(count) ? 1 : 0;
}

int ChunkStream::finishData() {
    if (stream_ == nullptr) return 0;
    uint64_t d = dataPosition();
    uint64_t c = stream_->tell();
    // A failed tell (all bits set) or a position before the data gives no size.
    if (c == UINT64_MAX || c < d) return 0;
    uint64_t written = c - d;
    auto padded = roundUpToAlignment(written, header_.alignment());
    if (!padded) return 0;
    int ok = 1;
    for (uint64_t i = written; i < *padded; ++i)
        if (stream_->writeU8(0) != 1) ok = 0;
    setDataSize(written);
    setDataCrc(runningCrc_);
    return ok;
}

ChunkStream* ChunkStream::child(const std::string& tag) {
    for (const auto& known : children_)
        if (known->tagName() == tag) return known.get();
    if (stream_ == nullptr) return nullptr;

    const auto wanted = tagBytes(tag);
    const uint64_t limit = saturatingAdd(header_.headerSize(), paddedSize_);
    uint64_t offset = header_.headerSize();
    while (offset < limit) {
        if (offset > UINT64_MAX - position_) break;
        if (!stream_->seek(position_ + offset)) break;
        unsigned char bytes[ChunkHeader::kSize];
        if (stream_->read(bytes, ChunkHeader::kSize) != int32_t(ChunkHeader::kSize)) break;
        ChunkHeader candidate = ChunkHeader::fromBytes(bytes);
        if (!candidate.isValid()) break;
        // A dataSize that cannot be rounded, or a chunk reaching past the end of the
        // address range, is as damaged as a bad CRC: nothing after it can be located.
        auto padded = candidate.paddedSize();
        if (!padded) break;
        if (std::memcmp(bytes, wanted.data(), wanted.size()) == 0) {
            auto found = std::make_unique<ChunkStream>();
            found->setHeader(bytes);
            found->attach(*stream_, position_ + offset, *padded);
            children_.push_back(std::move(found));
            return children_.back().get();
        }
        if (*padded > UINT64_MAX - ChunkHeader::kSize - offset) break;
        offset += ChunkHeader::kSize + *padded;
    }
    return nullptr;
}

ChunkStream& ChunkStream::findChild(const std::string& tag) {
    ChunkStream* found = child(tag);
    if (!found) throw TqlSChunkError();
    return *found;
}

const unsigned char* ChunkStream::dataBuffer() const { return data_.get(); }
uint64_t ChunkStream::paddedSize() const { return paddedSize_; }
uint64_t ChunkStream::dataSize() const { return header_.dataSize(); }
uint64_t ChunkStream::totalSize() const { return saturatingAdd(header_.headerSize(), paddedSize_); }

uint64_t ChunkStream::paddingSize() const {
    return header_.paddedSize().value_or(header_.dataSize()) - header_.dataSize();
}

uint32_t ChunkStream::dataCrc() const { return header_.dataCrc(); }
uint64_t ChunkStream::position() const { return position_; }
uint64_t ChunkStream::dataPosition() const { return saturatingAdd(position_, header_.headerSize()); }
uint32_t ChunkStream::chunkCrc() const { return header_.chunkCrc(); }

int ChunkStream::setDataSize(uint64_t size) {
    auto padded = roundUpToAlignment(size, header_.alignment());
    if (!padded) return 0;
    header_.setDataSize(size);
    paddedSize_ = *padded;
    return 1;
}

void ChunkStream::setDataCrc(uint32_t crc) { header_.setDataCrc(crc); }

int ChunkStream::updateFromChildren() {
    if (children_.empty()) return 0;
    Crc32 crc32;
    uint32_t crc = 0;
    uint64_t total = 0;
    for (const auto& child : children_) {
        crc = crc32.combine(crc, total, child->chunkCrc(), child->totalSize());
        total = saturatingAdd(total, child->totalSize());
    }
    setDataCrc(crc);
    setDataSize(total);
    return 1;
}

} // namespace zrk
