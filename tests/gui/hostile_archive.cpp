// Rewrites an unencrypted archive the way a hostile sender could, with every chunk CRC
// made right again, so that only the program's own checks stand in the way.
//   hostile_archive rename EXE HEXNAME   the stored name becomes these bytes
//   hostile_archive adopt VOLUME EXE     the volume takes on the program's archive identity
#include <cstdio>
#include <string>
#include <vector>

#include "archive/archive_records.h"
#include "chunk/chunk_stream.h"
#include "chunk/chunk_tags.h"
#include "chunk/locate_chunk.h"
#include "stream/byte_order.h"
#include "stream/file_stream.h"
#include "stream/memory_stream.h"

using namespace zrk;

namespace {

int fail(const std::string& why) {
    std::fprintf(stderr, "hostile_archive: %s\n", why.c_str());
    return 1;
}

std::vector<unsigned char> readFile(const std::string& path) {
    FileStream file;
    std::vector<unsigned char> bytes;
    if (!file.open(path, ReadExisting)) return bytes;
    bytes.resize(size_t(file.size()));
    if (!bytes.empty() && file.read(bytes.data(), uint32_t(bytes.size())) != int32_t(bytes.size())) bytes.clear();
    return bytes;
}

// The "INFO" and "DFDT" data of the program's archive container; false unless it is
// there and unencrypted.
bool readRecords(std::vector<unsigned char>& exe, uint64_t& offset, std::vector<unsigned char>& info,
                 std::vector<unsigned char>& date) {
    offset = locateChunkIn(exe.data(), exe.size(), tags::kArchive);
    if (offset == kChunkNotFound) return false;
    MemoryStream stream;
    stream.attachBuffer(exe.data(), int32_t(exe.size()));
    ChunkStream root;
    root.attach(stream, offset, exe.size() - offset);
    ChunkStream* container = root.child(tags::kArchive);
    ChunkStream* i = container ? container->child(tags::kInfo) : nullptr;
    ChunkStream* d = container ? container->child(tags::kDate) : nullptr;
    if (!i || !d || !i->readData() || !d->readData() || i->dataSize() < ArchiveHeader::kSize) return false;
    info.assign(i->dataBuffer(), i->dataBuffer() + i->dataSize());
    date.assign(d->dataBuffer(), d->dataBuffer() + d->dataSize());
    return (loadLe32(info.data()) & ArchiveHeader::kEncrypted) == 0;
}

bool writeLeaf(ChunkStream& container, Stream& stream, const char* tag, const std::vector<unsigned char>& bytes) {
    if (!container.addChild(tag)) return false;
    ChunkStream& leaf = *container.child(tag);
    if (!stream.seek(leaf.dataPosition())) return false;
    if (!bytes.empty() && !leaf.writeData(bytes.data(), bytes.size())) return false;
    return leaf.finishData() && leaf.writeHeader();
}

int renameStored(const std::string& exePath, const std::string& hex) {
    std::vector<unsigned char> exe = readFile(exePath), info, date;
    uint64_t offset = 0;
    if (!readRecords(exe, offset, info, date)) return fail("no unencrypted archive in " + exePath);
    std::string name;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) name += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    info.resize(ArchiveHeader::kSize + 4);
    storeLe32(info.data() + ArchiveHeader::kSize, uint32_t(name.size()));
    info.insert(info.end(), name.begin(), name.end());

    FileStream out;
    if (!out.open(exePath, CreateWrite) || out.write(exe.data(), uint32_t(offset)) != int32_t(offset))
        return fail("cannot write " + exePath);
    ChunkStream root;
    root.attach(out, offset, 0);
    root.addChild(tags::kArchive);
    ChunkStream& container = *root.child(tags::kArchive);
    if (!writeLeaf(container, out, tags::kInfo, info) || !writeLeaf(container, out, tags::kDate, date) ||
        !writeLeaf(container, out, tags::kData, {}) || !container.updateFromChildren() ||
        !container.writeHeader() || !out.close())
        return fail("cannot write " + exePath);
    return 0;
}

int adoptIdentity(const std::string& volumePath, const std::string& exePath) {
    std::vector<unsigned char> exe = readFile(exePath), exeInfo, date;
    uint64_t offset = 0;
    if (!readRecords(exe, offset, exeInfo, date)) return fail("no unencrypted archive in " + exePath);

    FileStream file;
    if (!file.open(volumePath, ReadWriteExisting)) return fail("cannot open " + volumePath);
    ChunkStream root;
    root.attach(file, 0, file.size());
    // All three children, in file order, so the container's CRC is combined from them.
    ChunkStream* container = root.child(tags::kArchive);
    ChunkStream* info = container ? container->child(tags::kInfo) : nullptr;
    if (!info || !container->child(tags::kDate) || !container->child(tags::kData) || !info->readData() ||
        info->dataSize() < ArchiveHeader::kSize)
        return fail("no archive in " + volumePath);
    std::vector<unsigned char> record(info->dataBuffer(), info->dataBuffer() + info->dataSize());
    std::copy(exeInfo.begin() + 32, exeInfo.begin() + ArchiveHeader::kSize, record.begin() + 32);
    if (!file.seek(info->dataPosition()) || !info->writeData(record.data(), record.size()) ||
        !info->finishData() || !info->writeHeader() || !container->updateFromChildren() ||
        !container->writeHeader() || !file.close())
        return fail("cannot write " + volumePath);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc == 4 ? argv[1] : "";
    if (command == "rename") return renameStored(argv[2], argv[3]);
    if (command == "adopt") return adoptIdentity(argv[2], argv[3]);
    return fail("usage: hostile_archive rename EXE HEXNAME | adopt VOLUME EXE");
}
