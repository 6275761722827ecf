// The stored archive records: the 96-byte header at the front of "INFO" and the
// 32-byte date record of "DFDT", kept in their on-disk byte layout because the
// cipher works on those bytes directly.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zrk {

class ArchiveHeader {
public:
    static constexpr uint32_t kSize = 96;
    static constexpr uint32_t kIdSize = 64;
    static constexpr uint32_t kEncrypted = 1;  // flags bit 0

    uint32_t flags() const;
    uint32_t volumeIndex() const;
    uint32_t volumeCount() const;
    uint32_t checkWord() const;
    uint64_t volumeDataSize() const;
    uint64_t fileSize() const;
    const unsigned char* archiveId() const { return bytes.data() + 32; }
    bool sameArchive(const ArchiveHeader& other) const;

    void setFlags(uint32_t value);
    void setVolumeIndex(uint32_t value);
    void setVolumeCount(uint32_t value);
    void setCheckWord(uint32_t value);
    void setVolumeDataSize(uint64_t value);
    void setFileSize(uint64_t value);
    void setArchiveId(const std::array<unsigned char, kIdSize>& id);

    std::array<unsigned char, kSize> bytes{};
};

class DateRecord {
public:
    static constexpr uint32_t kSize = 32;

    uint32_t fileCrc() const;  // word 0, written for checking tools; the combine ignores it
    uint32_t attributes() const;
    uint64_t lastWriteTime() const;

    void setFileCrc(uint32_t value);
    void setAttributes(uint32_t value);
    void setLastWriteTime(uint64_t value);

    std::array<unsigned char, kSize> bytes{};
};

// Overwrites memory that held a secret in a way the compiler may not drop.
void wipeBytes(void* data, size_t size);
void wipeString(std::string& text);

} // namespace zrk
