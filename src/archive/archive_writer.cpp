// Writing archives: volumes first, streaming the input once, then the executable,
// which is the only member whose date record the combine reads. The whole-file CRC
// in word 0 of every date record is known only at the end, so the volumes' date
// records are rewritten then (32 bytes and two headers each, not the data).
#include "archive/archive_writer.h"

#include <memory>
#include <new>
#include <random>

#include "archive/stored_name.h"
#include "chunk/chunk_stream.h"
#include "chunk/chunk_tags.h"
#include "crypto/crc32.h"
#include "crypto/sha512.h"
#include "crypto/stream_cipher.h"
#include "startup/settings_container.h"
#include "stream/byte_order.h"
#include "stream/copy_buffer.h"
#include "stream/file_system.h"
#include "stream/paths.h"
#include "text/file_entry.h"
#include "text/text_format.h"

namespace zrk {
namespace {

constexpr uint32_t kMaxBlock = 0x7FFFFFF0;

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "INFO": the header and the length-prefixed name, each part under its own key.
std::vector<unsigned char> infoRecord(const ArchiveHeader& plain, const std::string& name, bool encrypted,
                                      const std::string& password) {
    std::vector<unsigned char> record(ArchiveHeader::kSize + 4 + name.size());
    std::copy(plain.bytes.begin(), plain.bytes.end(), record.begin());
    storeLe32(record.data() + ArchiveHeader::kSize, uint32_t(name.size()));
    std::copy(name.begin(), name.end(), record.begin() + ArchiveHeader::kSize + 4);
    if (encrypted) {
        StreamCipher recordKey;
        recordKey.setKey(password, plain.bytes.data(), ArchiveHeader::kSize);
        recordKey.encrypt(record.data() + ArchiveHeader::kSize, int32_t(record.size() - ArchiveHeader::kSize));
        StreamCipher headerKey;
        headerKey.setPassword(0, password);
        headerKey.encrypt(record.data() + 4, ArchiveHeader::kSize - 4);
    }
    return record;
}

DateRecord storedDate(DateRecord date, const ArchiveHeader& plain, bool encrypted, const std::string& password) {
    if (encrypted) {
        StreamCipher recordKey;
        recordKey.setKey(password, plain.bytes.data(), ArchiveHeader::kSize);
        recordKey.encrypt(date.bytes.data(), DateRecord::kSize);
    }
    return date;
}

// Adds a leaf to `container` and writes its data and header.
bool writeLeaf(ChunkStream& container, Stream& stream, const char* tag, const void* bytes, uint64_t size) {
    if (!container.addChild(tag)) return false;
    ChunkStream& leaf = *container.child(tag);
    if (!stream.seek(leaf.dataPosition())) return false;
    if (size != 0 && !leaf.writeData(bytes, size)) return false;
    return leaf.finishData() && leaf.writeHeader();
}

// Rewrites the date record of a finished volume and the headers that cover it.
bool patchDate(FileSystem& files, const std::string& path, const DateRecord& stored) {
    std::unique_ptr<FileStream> file = files.open(path, ReadWriteExisting);
    if (!file) return false;
    ChunkStream root;
    root.attach(*file, 0, file->size());
    ChunkStream* container = root.child(tags::kArchive);
    if (!container) return false;
    // Children in file order, so the container's CRC combines them in that order.
    ChunkStream* info = container->child(tags::kInfo);
    ChunkStream* date = container->child(tags::kDate);
    ChunkStream* data = container->child(tags::kData);
    if (!info || !date || !data) return false;
    if (!file->seek(date->dataPosition()) || !date->writeData(stored.bytes.data(), DateRecord::kSize) ||
        !date->finishData() || !date->writeHeader())
        return false;
    if (!container->updateFromChildren() || !container->writeHeader()) return false;
    return file->close() != 0;
}

} // namespace

ArchiveWriter::ArchiveWriter(ArchiveWriterOptions options, FileSystem& files)
    : options_(std::move(options)), files_(files) {}

ArchiveWriter::~ArchiveWriter() { wipeString(options_.password); }

int ArchiveWriter::fail(const std::string& message) {
    error_ = message;
    return 0;
}

int ArchiveWriter::write() {
    // What write() creates is an archive only once all of it is there: however it
    // ends short of that (a failure, an exception from the progress call), the files
    // it made go again.
    struct Created {
        FileSystem& files;
        std::vector<std::string> paths;
        bool complete = false;
        ~Created() {
            if (!complete)
                for (const std::string& path : paths) files.removeFile(path);
        }
    } created{files_, {}};
    auto create = [&](const std::string& path) {
        std::unique_ptr<FileStream> file = files_.open(path, CreateWrite);
        if (file) created.paths.push_back(path);
        return file;
    };
    const int result = writeFiles(create);
    created.complete = result == 1;
    return result;
}

int ArchiveWriter::writeFiles(const std::function<std::unique_ptr<FileStream>(const std::string&)>& create) {
    const std::string name = baseName(options_.inputPath);
    const std::string problem = storedNameProblem(name);
    if (!problem.empty()) return fail("the input's name cannot be stored: " + name + ": " + problem);
    std::string stem = options_.outputName;
    if (stem.empty()) stem = name.substr(0, name.find_last_of('.') == 0 ? name.size() : name.find_last_of('.'));

    std::string password = options_.password;
    struct Wipe {
        std::string& s;
        ~Wipe() { wipeString(s); }
    } wipePassword{password};
    bool encrypted = options_.encrypt || !options_.password.empty();
    if (!options_.keyFilePath.empty()) {
        encrypted = true;
        std::unique_ptr<FileStream> key = files_.open(options_.keyFilePath, ReadExisting);
        if (!key) return fail("cannot open the key file");
        Sha512 digest;
        std::vector<unsigned char> block(65536);
        for (uint64_t left = key->size(); left != 0;) {
            const uint32_t n = left < block.size() ? uint32_t(left) : uint32_t(block.size());
            if (key->read(block.data(), n) != int32_t(n)) return fail("cannot read the key file");
            digest.update(block.data(), n);
            left -= n;
        }
        digest.finish();
        password = digest.hexDigest();
    }

    std::unique_ptr<FileStream> opened = files_.open(options_.inputPath, ReadExisting);
    if (!opened) return fail("cannot open the input file");
    FileStream& input = *opened;
    const uint64_t fileSize = input.size();

    uint64_t perVolume = options_.volumeSize;
    uint64_t count64 = 0;
    if (perVolume != 0) {
        count64 = fileSize / perVolume + (fileSize % perVolume != 0);
    } else if (options_.volumeCount != 0) {
        count64 = options_.volumeCount;
        perVolume = fileSize / count64 + (fileSize % count64 != 0);
    } else if (fileSize != 0) {
        return fail("neither a volume size nor a volume count was given");
    }
    if (count64 > 999999) return fail("too many volumes");
    const uint32_t count = uint32_t(count64);

    std::array<unsigned char, ArchiveHeader::kIdSize> id{};
    if (options_.archiveId) {
        id = *options_.archiveId;
    } else {
        std::random_device random;
        for (size_t i = 0; i < id.size(); i += 4) storeLe32(id.data() + i, random());
    }

    DateRecord date;
    {
        std::vector<FileEntry> entries;
        files_.listFiles(parentFolder(options_.inputPath), name, entries);
        // The name is the pattern; where matching ignores case, prefer the exact name.
        const FileEntry* own = entries.empty() ? nullptr : &entries.front();
        for (const FileEntry& entry : entries)
            if (entry.name == name) own = &entry;
        const uint64_t time = own ? own->lastWriteTime : 0;
        const uint32_t attributes = own ? own->attributes : 0;
        date.setLastWriteTime(options_.lastWriteTime.value_or(time));
        date.setAttributes(options_.attributes.value_or(attributes));
    }

    auto header = [&](uint32_t index, uint64_t dataSize) {
        ArchiveHeader h;
        h.setFlags(encrypted ? ArchiveHeader::kEncrypted : 0);
        h.setVolumeIndex(index);
        h.setVolumeCount(count);
        h.setCheckWord(0);
        h.setVolumeDataSize(dataSize);
        h.setFileSize(fileSize);
        h.setArchiveId(id);
        return h;
    };

    const uint32_t blockSize = options_.bufferSize == 0 ? 1 : std::min(options_.bufferSize, kMaxBlock);
    const CopyBuffer block = allocateCopyBuffer(blockSize);
    if (!block) return fail("cannot allocate the block buffer");

    Crc32 crc32;
    uint32_t fileCrc = 0;
    uint64_t done = 0;
    volumePaths_.clear();
    if (options_.progress) options_.progress(0, fileSize);

    for (uint32_t v = 0; v < count; ++v) {
        const uint64_t start = uint64_t(v) * perVolume;
        const uint64_t size = start >= fileSize ? 0 : std::min(perVolume, fileSize - start);
        const ArchiveHeader plain = header(v, size);
        const std::string path = joinPath(options_.outputFolder, formatText("%s.%03u.zrd", stem.c_str(), v + 1));
        volumePaths_.push_back(path);

        std::unique_ptr<FileStream> created = create(path);
        if (!created) return fail("cannot create " + path);
        FileStream& out = *created;
        ChunkStream root;
        root.attach(out, 0, 0);
        if (!root.addChild(tags::kArchive)) return fail("cannot lay out " + path);
        ChunkStream& container = *root.child(tags::kArchive);
        const auto info = infoRecord(plain, name, encrypted, password);
        const DateRecord placeholder = storedDate(date, plain, encrypted, password);
        if (!writeLeaf(container, out, tags::kInfo, info.data(), info.size()) ||
            !writeLeaf(container, out, tags::kDate, placeholder.bytes.data(), DateRecord::kSize) ||
            !container.addChild(tags::kData))
            return fail("cannot write " + path);
        ChunkStream& data = *container.child(tags::kData);
        if (!out.seek(data.dataPosition())) return fail("cannot write " + path);
        StreamCipher cipher;
        if (encrypted) cipher.setKey(password, plain.bytes.data(), ArchiveHeader::kSize);
        for (uint64_t left = size; left != 0;) {
            const uint32_t k = left < blockSize ? uint32_t(left) : blockSize;
            if (input.read(block.get(), k) != int32_t(k)) return fail("cannot read the input file");
            fileCrc = crc32.update(block.get(), k, fileCrc);
            if (encrypted) cipher.encrypt(block.get(), int32_t(k));
            if (!data.writeData(block.get(), k)) return fail("cannot write " + path);
            left -= k;
            done += k;
            if (options_.progress) options_.progress(done, fileSize);
        }
        if (!data.finishData() || !data.writeHeader() || !container.updateFromChildren() ||
            !container.writeHeader() || !out.close())
            return fail("cannot write " + path);
    }
    input.close();
    date.setFileCrc(fileCrc);

    for (uint32_t v = 0; v < count; ++v) {
        const uint64_t start = uint64_t(v) * perVolume;
        const uint64_t size = start >= fileSize ? 0 : std::min(perVolume, fileSize - start);
        if (!patchDate(files_, volumePaths_[v], storedDate(date, header(v, size), encrypted, password)))
            return fail("cannot finish " + volumePaths_[v]);
    }

    // The executable: the stub as it stands, then "ZRKS" and "ZRKD".
    executablePath_ = joinPath(options_.outputFolder, stem + ".exe");
    std::unique_ptr<FileStream> stubFile = files_.open(options_.stubPath, ReadExisting);
    if (!stubFile) return fail("cannot open the stub");
    FileStream& stub = *stubFile;
    std::unique_ptr<FileStream> exeFile = create(executablePath_);
    if (!exeFile) return fail("cannot create " + executablePath_);
    FileStream& exe = *exeFile;
    const uint64_t stubSize = stub.size();
    for (uint64_t left = stubSize; left != 0;) {
        const uint32_t k = left < blockSize ? uint32_t(left) : blockSize;
        if (stub.read(block.get(), k) != int32_t(k)) return fail("cannot read the stub");
        if (exe.write(block.get(), k) != int32_t(k)) return fail("cannot write " + executablePath_);
        left -= k;
    }
    stubFile.reset();
    ChunkStream root;
    root.attach(exe, stubSize, 0);
    if (!writeSettingsContainer(root, exe, options_.settings, options_.messages))
        return fail("cannot write the settings of " + executablePath_);
    if (!root.addChild(tags::kArchive)) return fail("cannot lay out " + executablePath_);
    ChunkStream& container = *root.child(tags::kArchive);
    const ArchiveHeader plain = header(count, 0);
    const auto info = infoRecord(plain, name, encrypted, password);
    const DateRecord stored = storedDate(date, plain, encrypted, password);
    if (!writeLeaf(container, exe, tags::kInfo, info.data(), info.size()) ||
        !writeLeaf(container, exe, tags::kDate, stored.bytes.data(), DateRecord::kSize) ||
        !writeLeaf(container, exe, tags::kData, nullptr, 0) || !container.updateFromChildren() ||
        !container.writeHeader())
        return fail("cannot write " + executablePath_);
    if (!exe.close()) return fail("cannot write " + executablePath_);
    return 1;
}

} // namespace zrk
