// DibImage: header arithmetic, pixel access and the BMP file form.
#include "window/dib_image.h"

#include "stream/file_stream.h"

#include <cstring>
#include <new>

namespace zrk {

namespace {

constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kFileHeaderSize = 14;
// An image file larger than this is refused before any allocation.
constexpr uint64_t kMaxImageBytes = 256u << 20;

void putU16(unsigned char* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
void putU32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
uint32_t getU16(const unsigned char* p) { return p[0] | uint32_t(p[1]) << 8; }
uint32_t getU32(const unsigned char* p) {
    return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool validDepth(int32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

} // namespace

DibImage::~DibImage() { release(); }

void DibImage::release() {
    headerBlock_.clear();
    pixels_.clear();
    pixels_.shrink_to_fit();
    width_ = height_ = bits_ = entries_ = stride_ = 0;
}

const BITMAPINFO* DibImage::header() const {
    return headerBlock_.empty() ? nullptr : reinterpret_cast<const BITMAPINFO*>(headerBlock_.data());
}

void DibImage::setMasks(uint32_t red, uint32_t green, uint32_t blue) {
    if (bits_ != 16 && bits_ != 32) return;
    unsigned char* masks = headerBlock_.data() + kInfoHeaderSize;
    putU32(masks, red);
    putU32(masks + 4, green);
    putU32(masks + 8, blue);
}

int DibImage::setUp(int32_t width, int32_t height, int32_t bitsPerPixel) {
    release();
    if (width <= 0 || height <= 0 || !validDepth(bitsPerPixel)) return 0;
    const uint64_t stride = ((uint64_t(bitsPerPixel) * uint64_t(width) + 31) / 8) & ~uint64_t(3);
    if (stride * uint64_t(height) > kMaxImageBytes) return 0;
    entries_ = bitsPerPixel <= 8 ? 1 << bitsPerPixel : 0;
    size_t blockSize = kInfoHeaderSize + 4 * size_t(entries_);
    if (bitsPerPixel == 16 || bitsPerPixel == 32) blockSize += 12;
    headerBlock_.assign(blockSize, 0);
    width_ = width;
    height_ = height;
    bits_ = bitsPerPixel;
    stride_ = int32_t(stride);
    unsigned char* h = headerBlock_.data();
    putU32(h, kInfoHeaderSize);
    putU32(h + 4, uint32_t(width));
    putU32(h + 8, uint32_t(-height));  // negative: row 0 is the top row
    putU16(h + 12, 1);
    putU16(h + 14, uint32_t(bitsPerPixel));
    putU32(h + 16, BI_RGB);
    putU32(h + 20, uint32_t(imageSize()));
    putU32(h + 32, uint32_t(entries_));
    return 1;
}

int DibImage::create(int32_t width, int32_t height, int32_t bitsPerPixel) {
    if (!setUp(width, height, bitsPerPixel)) return 0;
    try {
        pixels_.assign(imageSize(), 0);
    } catch (const std::bad_alloc&) {
        release();
        return 0;
    }
    return 1;
}

void DibImage::setColour(int index, uint32_t rgb) {
    if (index < 0 || index >= entries_) return;
    unsigned char* entry = headerBlock_.data() + kInfoHeaderSize + 4 * size_t(index);
    entry[0] = uint8_t(rgb);
    entry[1] = uint8_t(rgb >> 8);
    entry[2] = uint8_t(rgb >> 16);
    entry[3] = 0;
}

void DibImage::clear() { std::fill(pixels_.begin(), pixels_.end(), 0); }

void DibImage::setPixel(int32_t x, int32_t y, uint32_t rgb) {
    if (pixels_.empty() || x < 0 || y < 0 || x >= width_ || y >= height_ || (bits_ != 24 && bits_ != 32))
        return;
    unsigned char* p = pixels_.data() + size_t(y) * size_t(stride_) + size_t(x) * size_t(bits_ / 8);
    p[0] = uint8_t(rgb);
    p[1] = uint8_t(rgb >> 8);
    p[2] = uint8_t(rgb >> 16);
    if (bits_ == 32) p[3] = uint8_t(rgb >> 24);
}

uint32_t DibImage::pixel(int32_t x, int32_t y) const {
    if (pixels_.empty() || x < 0 || y < 0 || x >= width_ || y >= height_ || (bits_ != 24 && bits_ != 32))
        return 0;
    const unsigned char* p = pixels_.data() + size_t(y) * size_t(stride_) + size_t(x) * size_t(bits_ / 8);
    uint32_t value = p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    if (bits_ == 32) value |= uint32_t(p[3]) << 24;
    return value;
}

void DibImage::replace(uint32_t from, uint32_t to) {
    if (bits_ != 32) return;
    for (int32_t y = 0; y < height_; ++y)
        for (int32_t x = 0; x < width_; ++x)
            if (pixel(x, y) == from) setPixel(x, y, to);
}

std::vector<unsigned char> DibImage::encodeBmp() const {
    if (headerBlock_.empty() || pixels_.empty()) return {};
    const size_t offset = kFileHeaderSize + headerBlock_.size();
    std::vector<unsigned char> file(offset + imageSize());
    file[0] = 'B';
    file[1] = 'M';
    putU32(&file[2], uint32_t(file.size()));
    putU32(&file[10], uint32_t(offset));
    std::memcpy(&file[kFileHeaderSize], headerBlock_.data(), headerBlock_.size());
    putU32(&file[kFileHeaderSize + 8], uint32_t(height_));  // stored bottom-up
    for (int32_t row = 0; row < height_; ++row)
        std::memcpy(&file[offset + size_t(row) * stride_],
                    &pixels_[size_t(height_ - 1 - row) * stride_], size_t(stride_));
    return file;
}

int DibImage::saveBmp(const std::string& path) const {
    const std::vector<unsigned char> file = encodeBmp();
    if (file.empty()) return 0;
    FileStream stream;
    if (!stream.open(path, CreateWrite)) return 0;
    const bool written = stream.write(file.data(), uint32_t(file.size())) == int32_t(file.size());
    return stream.close() && written ? 1 : 0;
}

int DibImage::loadBmpFile(const std::string& path) {
    FileStream stream;
    if (!stream.openRead(path)) return 0;
    const uint64_t size = stream.size();
    if (size < kFileHeaderSize + kInfoHeaderSize || size > kMaxImageBytes + (1u << 16)) return 0;
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    if (stream.read(bytes.data(), uint32_t(size)) != int32_t(size)) return 0;
    return loadBmpMemory(bytes.data(), bytes.size());
}

int DibImage::loadBmpMemory(const unsigned char* bytes, size_t size) {
    release();
    if (size < kFileHeaderSize + kInfoHeaderSize || getU16(bytes) != 0x4D42) return 0;
    const unsigned char* info = bytes + kFileHeaderSize;
    const uint32_t pixelOffset = getU32(bytes + 10);
    if (getU32(info) != kInfoHeaderSize) return 0;
    const int32_t width = int32_t(getU32(info + 4));
    const int32_t storedHeight = int32_t(getU32(info + 8));
    const int32_t bits = int32_t(getU16(info + 14));
    const uint32_t compression = getU32(info + 16);
    if (storedHeight == INT32_MIN) return 0;
    const bool bitFields = compression == BI_BITFIELDS && (bits == 16 || bits == 32);
    if (compression != BI_RGB && !bitFields) return 0;
    const int32_t height = storedHeight < 0 ? -storedHeight : storedHeight;
    if (!create(width, height, bits)) return 0;

    // Colour table or masks follow the info header; a short table is zero-filled.
    size_t tableBytes = 4 * size_t(entries_);
    const uint32_t used = getU32(info + 32);
    if (entries_ && used > 0 && used < uint32_t(entries_)) tableBytes = 4 * size_t(used);
    if (bitFields) tableBytes = 12;
    if (kFileHeaderSize + kInfoHeaderSize + tableBytes > size) return release(), 0;
    std::memcpy(headerBlock_.data() + kInfoHeaderSize, info + kInfoHeaderSize, tableBytes);
    if (bitFields) putU32(headerBlock_.data() + 16, BI_BITFIELDS);

    if (pixelOffset > size || size - pixelOffset < imageSize()) return release(), 0;
    for (int32_t row = 0; row < height; ++row) {
        const int32_t source = storedHeight < 0 ? row : height - 1 - row;
        std::memcpy(&pixels_[size_t(row) * stride_], bytes + pixelOffset + size_t(source) * stride_,
                    size_t(stride_));
    }
    return 1;
}

int DibImage::draw(HDC dc, int x, int y) const {
    if (pixels_.empty()) return 0;
    SetStretchBltMode(dc, COLORONCOLOR);
    return StretchDIBits(dc, x, y, width_, height_, 0, 0, width_, height_, pixels_.data(), header(),
                         DIB_RGB_COLORS, SRCCOPY) != 0;
}

} // namespace zrk
