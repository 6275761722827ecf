// Field access of the archive records, the stored-name check and secret wiping.
#include "archive/archive_records.h"

#include <cstring>

#include "stream/byte_order.h"

namespace zrk {

uint32_t ArchiveHeader::flags() const { return loadLe32(bytes.data()); }
uint32_t ArchiveHeader::volumeIndex() const { return loadLe32(bytes.data() + 4); }
uint32_t ArchiveHeader::volumeCount() const { return loadLe32(bytes.data() + 8); }
uint32_t ArchiveHeader::checkWord() const { return loadLe32(bytes.data() + 12); }
uint64_t ArchiveHeader::volumeDataSize() const { return loadLe64(bytes.data() + 16); }
uint64_t ArchiveHeader::fileSize() const { return loadLe64(bytes.data() + 24); }

bool ArchiveHeader::sameArchive(const ArchiveHeader& other) const {
    return std::memcmp(archiveId(), other.archiveId(), kIdSize) == 0;
}

void ArchiveHeader::setFlags(uint32_t value) { storeLe32(bytes.data(), value); }
void ArchiveHeader::setVolumeIndex(uint32_t value) { storeLe32(bytes.data() + 4, value); }
void ArchiveHeader::setVolumeCount(uint32_t value) { storeLe32(bytes.data() + 8, value); }
void ArchiveHeader::setCheckWord(uint32_t value) { storeLe32(bytes.data() + 12, value); }
void ArchiveHeader::setVolumeDataSize(uint64_t value) { storeLe64(bytes.data() + 16, value); }
void ArchiveHeader::setFileSize(uint64_t value) { storeLe64(bytes.data() + 24, value); }
void ArchiveHeader::setArchiveId(const std::array<unsigned char, kIdSize>& id) {
    std::memcpy(bytes.data() + 32, id.data(), kIdSize);
}

uint32_t DateRecord::fileCrc() const { return loadLe32(bytes.data()); }
uint32_t DateRecord::attributes() const { return loadLe32(bytes.data() + 4); }
uint64_t DateRecord::lastWriteTime() const { return loadLe64(bytes.data() + 16); }
void DateRecord::setFileCrc(uint32_t value) { storeLe32(bytes.data(), value); }
void DateRecord::setAttributes(uint32_t value) { storeLe32(bytes.data() + 4, value); }
void DateRecord::setLastWriteTime(uint64_t value) { storeLe64(bytes.data() + 16, value); }

void wipeBytes(void* data, size_t size) {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) p[i] = 0;
}

void wipeString(std::string& text) {
    wipeBytes(text.data(), text.size());
    text.clear();
}

} // namespace zrk
