// DibImage: a device-independent bitmap held in memory (header block and pixel
// buffer), with BMP file saving and loading; the progress bar draws into one.
#pragma once

#include "platform/windows_api.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zrk {

class DibImage {
public:
    DibImage() = default;
    virtual ~DibImage();
    DibImage(const DibImage&) = delete;
    DibImage& operator=(const DibImage&) = delete;

    virtual void setMasks(uint32_t red, uint32_t green, uint32_t blue);
    // Header only, rows top-down; 0 unless the size is positive and the depth one
    // of 1, 4, 8, 16, 24, 32.
    virtual int setUp(int32_t width, int32_t height, int32_t bitsPerPixel);
    // Header and a zeroed pixel buffer.
    virtual int create(int32_t width, int32_t height, int32_t bitsPerPixel);
    virtual int loadBmpFile(const std::string& path);
    // A BMP file image: "BM", the 14-byte file header, a 40-byte info header
    // (uncompressed, or bit fields at 16 and 32 bits), colour table, pixels.
    virtual int loadBmpMemory(const unsigned char* bytes, size_t size);
    virtual int saveBmp(const std::string& path) const;
    // The BMP file saveBmp writes, as bytes.
    std::vector<unsigned char> encodeBmp() const;
    virtual void release();
    virtual void setColour(int index, uint32_t rgb);
    virtual void clear();
    // 0x00RRGGBB at 24 or 32 bits; out-of-range positions are ignored / read 0.
    virtual void setPixel(int32_t x, int32_t y, uint32_t rgb);
    virtual uint32_t pixel(int32_t x, int32_t y) const;
    virtual int32_t width() const { return width_; }
    virtual int32_t height() const { return height_; }
    virtual int32_t bitsPerPixel() const { return bits_; }
    virtual int32_t stride() const { return stride_; }
    virtual unsigned char* pixels() { return pixels_.empty() ? nullptr : pixels_.data(); }
    virtual const unsigned char* pixels() const { return pixels_.empty() ? nullptr : pixels_.data(); }
    virtual const BITMAPINFO* header() const;
    virtual size_t headerSize() const { return headerBlock_.size(); }
    virtual size_t imageSize() const { return size_t(stride_) * size_t(height_); }
    // Replaces every 32-bit pixel of one value by another.
    virtual void replace(uint32_t from, uint32_t to);
    virtual int draw(HDC dc, int x, int y) const;

private:
    std::vector<unsigned char> headerBlock_;
    int32_t width_ = 0, height_ = 0, bits_ = 0, entries_ = 0, stride_ = 0;
    std::vector<unsigned char> pixels_;
};

} // namespace zrk
