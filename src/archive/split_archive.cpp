// Reading the archive records and combining the volumes. Every record size comes
// from a file and is checked before it is used to position, read or allocate.
#include "archive/split_archive.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "archive/stored_name.h"
#include "chunk/chunk_stream.h"
#include "chunk/chunk_tags.h"
#include "chunk/locate_chunk.h"
#include "crypto/crc32.h"
#include "crypto/sha512.h"
#include "crypto/stream_cipher.h"
#include "error/tql_exception.h"
#include "stream/memory_stream.h"
#include "stream/paths.h"
#include "text/text_format.h"

namespace zrk {
namespace {

constexpr uint32_t kKeyFileBlock = 65536;
// One Stream transfer carries a signed 32-bit count.
constexpr uint32_t kMaxBufferSize = 0x7FFFFFFF - SplitArchive::kBufferSlack;

bool readExactly(Stream& stream, void* buffer, uint32_t count) {
    return stream.read(buffer, count) == int32_t(count);
}

// Reads the 96 header bytes at the front of "INFO"; a shorter record holds no header.
bool readHeaderBytes(Stream& file, const ChunkStream& info, ArchiveHeader& header) {
    if (info.dataSize() < ArchiveHeader::kSize) return false;
    return file.seek(info.dataPosition()) && readExactly(file, header.bytes.data(), ArchiveHeader::kSize);
}

} // namespace

SplitArchive::SplitArchive(FileSystem& files) : files_(files) { initialize(); }

SplitArchive::~SplitArchive() {
    finalize();
    wipeString(password_);
}

int32_t SplitArchive::reportProgress(uint64_t done, uint64_t total) {
    return progressCallback_ ? progressCallback_(done, total, *this) : 1;
}

int32_t SplitArchive::reportStatus(uint32_t code, const std::string& detail) {
    return statusCallback_ ? statusCallback_(code, detail, *this) : 0;
}

void SplitArchive::setPassword(const std::string& text) {
    wipeString(password_);
    password_ = text;
}

void SplitArchive::setBufferSize(uint32_t size) {
    bufferSize_ = size == 0 ? 1 : (size > kMaxBufferSize ? kMaxBufferSize : size);
}

int SplitArchive::initialize() {
    finalize();
    const size_t size = size_t(bufferSize_) + kBufferSlack;
    transferBuffer_ = allocateCopyBuffer(size);
    spareBuffer_ = allocateCopyBuffer(size);
    if (!transferBuffer_ || !spareBuffer_) {
        finalize();
        return 0;
    }
    ready_ = 1;
    return 1;
}

void SplitArchive::finalize() {
    transferBuffer_.reset();
    spareBuffer_.reset();
    ready_ = 0;
}

void SplitArchive::setKey(const Key& key) {
    decrypt_ = key.given() ? 1 : 0;
    useKeyFile_ = key.kind() == Key::Kind::KeyFile ? 1 : 0;
    setPassword(key.kind() == Key::Kind::Password ? key.value() : std::string());
    keyFilePath_ = key.kind() == Key::Kind::KeyFile ? key.value() : std::string();
}

SplitArchive::OpenResult SplitArchive::open(const std::string& path, const Key& key) {
    std::unique_ptr<FileStream> file = files_.open(path, ReadExisting);
    if (!file) return OpenResult::CannotOpen;
    const uint64_t size = file->size();
    std::vector<unsigned char> head(size_t(size < kLocateWindow ? size : kLocateWindow));
    if (!head.empty() && !readExactly(*file, head.data(), uint32_t(head.size()))) return OpenResult::CannotOpen;
    if (!file->close()) return OpenResult::CannotOpen;
    const uint64_t offset = locateChunkIn(head.data(), head.size(), tags::kArchive);
    if (offset == kChunkNotFound) return OpenResult::NotAnArchive;
    setArchiveOffset(offset);
    setOwnPath(path);
    setTargetPath(path);
    setKey(key);
    return OpenResult::Opened;
}

int SplitArchive::deriveKeyFilePassword() {
    std::unique_ptr<FileStream> opened = files_.open(keyFilePath_, ReadExisting);
    if (!opened) {
        reportStatus(ARCERR_OPEN, keyFilePath_);
        return 0;
    }
    FileStream& file = *opened;
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[kKeyFileBlock]);
    if (!block) {
        reportStatus(ARCERR_READ, keyFilePath_);
        return 0;
    }
    Sha512 digest;
    for (uint64_t remaining = file.size(); remaining != 0;) {
        const uint32_t n = remaining < kKeyFileBlock ? uint32_t(remaining) : kKeyFileBlock;
        if (!readExactly(file, block.get(), n)) {
            wipeBytes(block.get(), kKeyFileBlock);
            reportStatus(ARCERR_READ, keyFilePath_);
            return 0;
        }
        digest.update(block.get(), n);
        remaining -= n;
    }
    wipeBytes(block.get(), kKeyFileBlock);
    digest.finish();
    setPassword(digest.hexDigest());
    return 1;
}

SplitArchive::Locate SplitArchive::locateInfo(std::unique_ptr<FileStream>& file, ChunkStream& root,
                                              const std::string& path, bool atOffset, ChunkStream*& container,
                                              ChunkStream*& info) {
    file = files_.open(path, ReadExisting);
    if (!file) return Locate::Open;
    const uint64_t size = file->size();
    if (atOffset) {
        if (!file->seek(archiveOffset_)) return Locate::Offset;
        const uint64_t here = file->tell();
        if (here == Stream::kNoPosition) return Locate::Offset;
        root.attach(*file, here, here < size ? size - here : 0);
    } else {
        root.attach(*file, 0, size);
    }
    container = root.child(tags::kArchive);
    info = container ? container->child(tags::kInfo) : nullptr;
    return info ? Locate::Ok : Locate::Chunk;
}

SplitArchive::Unlock SplitArchive::unlockHeader(ArchiveHeader& header) const {
    // Exactly 1: other flag values go on to the key check (and fail it without a key).
    if (header.flags() == ArchiveHeader::kEncrypted && decrypt_ == 0) return Unlock::NoKey;
    if (header.flags() & ArchiveHeader::kEncrypted) {
        StreamCipher cipher;
        cipher.setPassword(0, password_);
        cipher.decrypt(header.bytes.data() + 4, ArchiveHeader::kSize - 4);
        if (header.checkWord() != 0) return Unlock::WrongKey;
    }
    return Unlock::Ok;
}

void SplitArchive::reportCandidate(uint32_t code, const std::string& path) {
    if (unreadable_) unreadable_->push_back(path);
    if (combining_ && !reportedCandidates_.insert(path).second) return;
    reportStatus(code, path);
}

int SplitArchive::isEncrypted(uint32_t& result) {
    std::unique_ptr<FileStream> file;
    ChunkStream root;
    ChunkStream* container = nullptr;
    ChunkStream* info = nullptr;
    switch (locateInfo(file, root, targetPath_, true, container, info)) {
    case Locate::Open:
        reportStatus(ARCERR_OPEN, targetPath_);
        return 0;
    case Locate::Offset:
    case Locate::Chunk:
        reportStatus(ARCERR_READ, targetPath_);
        return 0;
    case Locate::Ok:
        break;
    }
    ArchiveHeader header;
    if (!readHeaderBytes(*file, *info, header)) {
        reportStatus(ARCERR_READ, targetPath_);
        return 0;
    }
    result = header.flags() & ArchiveHeader::kEncrypted;
    return 1;
}

int SplitArchive::readVolumeHeader(ArchiveHeader& header, const std::string& path) {
    std::unique_ptr<FileStream> file;
    ChunkStream root;
    ChunkStream* container = nullptr;
    ChunkStream* info = nullptr;
    switch (locateInfo(file, root, path, false, container, info)) {
    case Locate::Open:
        reportCandidate(ARCERR_OPEN, path);
        return 0;
    case Locate::Offset:  // not reached: a volume starts at 0
    case Locate::Chunk:
        return 0;  // not a volume: passed over silently
    case Locate::Ok:
        break;
    }
    if (!readHeaderBytes(*file, *info, header)) {
        reportCandidate(ARCERR_READ, path);
        return 0;
    }
    return unlockHeader(header) == Unlock::Ok ? 1 : 0;
}

int SplitArchive::readArchiveHeader(ArchiveHeader& header, DateRecord& dateRecord, const std::string& path) {
    std::unique_ptr<FileStream> file;
    ChunkStream root;
    ChunkStream* container = nullptr;
    ChunkStream* info = nullptr;
    switch (locateInfo(file, root, path, true, container, info)) {
    case Locate::Open:
        reportStatus(ARCERR_OPEN, path);
        return 0;
    case Locate::Offset:
        throw TqlZRKAFileReadError();
    case Locate::Chunk:
        return 0;
    case Locate::Ok:
        break;
    }
    if (!readHeaderBytes(*file, *info, header)) {
        reportStatus(ARCERR_READ, path);
        return 0;
    }
    // Without a date record the output keeps the time and attributes it gets.
    const ChunkStream* date = container->child(tags::kDate);
    const bool haveDate = date != nullptr;
    if (date && (!file->seek(date->dataPosition()) || !readExactly(*file, dateRecord.bytes.data(), DateRecord::kSize))) {
        reportStatus(ARCERR_READ, path);
        return 0;
    }
    if (unlockHeader(header) != Unlock::Ok) return 0;
    if ((header.flags() & ArchiveHeader::kEncrypted) && haveDate) {
        StreamCipher recordKey;
        recordKey.setKey(password_, header.bytes.data(), ArchiveHeader::kSize);
        recordKey.decrypt(dateRecord.bytes.data(), DateRecord::kSize);
    }
    return 1;
}

std::string SplitArchive::readArchiveInfo(const std::string& path) {
    if (useKeyFile_ && !deriveKeyFilePassword()) return {};
    std::unique_ptr<FileStream> file;
    ChunkStream root;
    ChunkStream* container = nullptr;
    ChunkStream* info = nullptr;
    switch (locateInfo(file, root, path, true, container, info)) {
    case Locate::Open:
        reportStatus(ARCERR_OPEN, path);
        return {};
    case Locate::Offset:
        throw TqlZRKAFileReadError();
    case Locate::Chunk:
        reportStatus(ARCERR_READ, path);
        return {};
    case Locate::Ok:
        break;
    }
    // The header and the name's length must be there; a giant record is damage.
    const uint64_t size = info->dataSize();
    if (size < ArchiveHeader::kSize + 4 || size > kMaxInfoSize) {
        reportStatus(ARCERR_READ, path);
        return {};
    }
    std::vector<unsigned char> record(size_t(size), 0);
    if (!file->seek(info->dataPosition()) || !readExactly(*file, record.data(), uint32_t(size))) {
        reportStatus(ARCERR_READ, path);
        return {};
    }
    file.reset();

    ArchiveHeader header;
    std::copy(record.begin(), record.begin() + ArchiveHeader::kSize, header.bytes.begin());
    if (header.flags() == ArchiveHeader::kEncrypted && decrypt_ == 0) {
        reportStatus(ARCNOTE_ENCRYPTED, path);
        return {};
    }
    decrypt_ = header.flags() & ArchiveHeader::kEncrypted;
    if (unlockHeader(header) != Unlock::Ok) {
        reportStatus(ARCERR_KEY, path);
        return {};
    }
    unsigned char* rest = record.data() + ArchiveHeader::kSize;
    const uint32_t restSize = uint32_t(size - ArchiveHeader::kSize);
    if (header.flags() & ArchiveHeader::kEncrypted) {
        StreamCipher recordKey;
        recordKey.setKey(password_, header.bytes.data(), ArchiveHeader::kSize);
        recordKey.decrypt(rest, int32_t(restSize));
    }
    MemoryStream names;
    names.attachBuffer(rest, int32_t(restSize));
    std::string name = names.readString();
    names.detachBuffer();
    // The name becomes a path in the user's folder: it must stay a bare, ordinary name.
    // The detail says which rule it broke (the wizard's box shows the text alone).
    const std::string problem = storedNameProblem(name);
    if (!problem.empty()) {
        reportStatus(ARCERR_ABNORMAL, problem);
        return {};
    }
    return name;
}

void SplitArchive::copyData(Stream& output, Stream& input, uint64_t length) {
    copyBlocks(output, input, length, nullptr);
}

void SplitArchive::copyDecrypt(Stream& output, Stream& input, uint64_t length, StreamCipher* cipher) {
    copyBlocks(output, input, length, decrypt_ == 1 ? cipher : nullptr);
}

bool SplitArchive::prepareBlock(Stream& input, unsigned char* buffer, uint32_t k, StreamCipher* cipher,
                                const Crc32& crc) {
    if (input.read(buffer, k) != int32_t(k)) return false;
    if (checkCrc_) storedCrc_ = crc.update(buffer, k, storedCrc_);
    if (cipher) cipher->decrypt(buffer, int32_t(k));
    if (plainCrcNeeded_) plainCrc_ = crc.update(buffer, k, plainCrc_);
    return true;
}

void SplitArchive::copyBlocks(Stream& output, Stream& input, uint64_t length, StreamCipher* cipher) {
    if (length != 0 && !ready_) throw TqlZRKAFileReadError();
    plainCrcNeeded_ = cipher != nullptr || !checkCrc_;
    plainCrc_ = 0;
    // A piece of more than one block is read ahead while the previous block is written.
    if (length > bufferSize_ && copyOverlapped(output, input, length, cipher)) return;
    const Crc32 crc;
    unsigned char* buffer = transferBuffer_.get();
    while (length != 0) {
        const uint32_t k = length < bufferSize_ ? uint32_t(length) : bufferSize_;
        if (!prepareBlock(input, buffer, k, cipher, crc)) throw TqlZRKAFileReadError();
        if (output.write(buffer, k) != int32_t(k)) throw TqlZRKAFileWriteError();
        length -= k;
        doneBytes_ += k;
        reportProgress(doneBytes_, totalBytes_);
    }
}

// The same blocks as the plain loop, one read and one write each, but the reading
// (with the CRC and the decryption) runs on a second thread, one block ahead, in the
// other of the two buffers. Writing, progress and every exception stay on the
// caller's thread and come in block order, so a failure ends the copy exactly where
// the plain loop would. Returns false, having moved nothing, when no thread starts.
bool SplitArchive::copyOverlapped(Stream& output, Stream& input, uint64_t length, StreamCipher* cipher) {
    enum class Slot { Free, Filled, Failed };
    struct Shared {
        std::mutex lock;
        std::condition_variable changed;
        Slot slots[2] = {Slot::Free, Slot::Free};
        std::exception_ptr error;  // what the reading side threw instead of reading
        bool stop = false;
    } shared;
    unsigned char* const buffers[2] = {transferBuffer_.get(), spareBuffer_.get()};
    const uint32_t blockSize = bufferSize_;
    const Crc32 crc;

    auto readAhead = [&, length]() mutable {
        for (int slot = 0; length != 0; slot ^= 1) {
            {
                std::unique_lock<std::mutex> hold(shared.lock);
                shared.changed.wait(hold, [&] { return shared.stop || shared.slots[slot] == Slot::Free; });
                if (shared.stop) return;
            }
            const uint32_t k = length < blockSize ? uint32_t(length) : blockSize;
            bool ok = false;
            std::exception_ptr error;
            try {
                ok = prepareBlock(input, buffers[slot], k, cipher, crc);
            } catch (...) {
                error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> hold(shared.lock);
                shared.slots[slot] = ok ? Slot::Filled : Slot::Failed;
                shared.error = error;
            }
            shared.changed.notify_all();
            if (!ok) return;
            length -= k;
        }
    };

    std::thread reader;
    try {
        reader = std::thread(readAhead);
    } catch (const std::system_error&) {
        return false;
    }
    // However the copy ends, the reader is stopped and gone before the buffers,
    // the input or the cipher are touched by anyone else.
    struct Joiner {
        Shared& shared;
        std::thread& reader;
        ~Joiner() {
            {
                std::lock_guard<std::mutex> hold(shared.lock);
                shared.stop = true;
            }
            shared.changed.notify_all();
            reader.join();
        }
    } joiner{shared, reader};

    for (int slot = 0; length != 0; slot ^= 1) {
        Slot state;
        {
            std::unique_lock<std::mutex> hold(shared.lock);
            shared.changed.wait(hold, [&] { return shared.slots[slot] != Slot::Free; });
            state = shared.slots[slot];
        }
        if (state == Slot::Failed) {
            if (shared.error) std::rethrow_exception(shared.error);
            throw TqlZRKAFileReadError();
        }
        const uint32_t k = length < blockSize ? uint32_t(length) : blockSize;
        if (output.write(buffers[slot], k) != int32_t(k)) throw TqlZRKAFileWriteError();
        length -= k;
        doneBytes_ += k;
        {
            std::lock_guard<std::mutex> hold(shared.lock);
            shared.slots[slot] = Slot::Free;
        }
        shared.changed.notify_all();
        reportProgress(doneBytes_, totalBytes_);
    }
    return true;
}

VolumeSet SplitArchive::listVolumes(const ArchiveHeader& archive) {
    VolumeSet set;
    const std::string folder = parentFolder(ownPath_);
    std::vector<FileEntry> entries;
    files_.listFiles(folder, "*.zrd", entries);
    set.candidates.reserve(entries.size());
    for (const FileEntry& entry : entries) set.candidates.push_back(joinPath(folder, entry.name));

    // Every candidate's header once; per index the first match wins.
    set.count = archive.volumeCount();
    unreadable_ = &set.unreadable;
    struct Stop {
        std::vector<std::string>*& unreadable;
        ~Stop() { unreadable = nullptr; }
    } stop{unreadable_};
    for (const std::string& candidate : set.candidates) {
        ArchiveHeader volume;
        if (!readVolumeHeader(volume, candidate) || !volume.sameArchive(archive)) continue;
        const uint32_t index = volume.volumeIndex();
        if (index < set.count) set.found.emplace(index, VolumeSet::Volume{candidate, volume});
    }
    return set;
}

// The volume of `index` again, just before its piece is read: the file found when the
// set was listed if it still matches, else the first candidate that does now.
bool SplitArchive::findVolume(uint32_t index, const ArchiveHeader& archive, const VolumeSet& set,
                              VolumeSet::Volume& found) {
    auto matches = [&](const std::string& path) {
        ArchiveHeader volume;
        if (!readVolumeHeader(volume, path) || !volume.sameArchive(archive) || volume.volumeIndex() != index)
            return false;
        found = {path, volume};
        return true;
    };
    const std::string& listed = set.at(index).path;
    if (!listed.empty() && matches(listed)) return true;
    for (const std::string& candidate : set.candidates)
        if (matches(candidate)) return true;
    return false;
}

int SplitArchive::failVolume(uint32_t code, const std::string& detail, uint32_t index, const std::string& path) {
    failedVolume_ = VolumeFailure{index, path};
    reportStatus(code, detail);
    return 0;
}

int SplitArchive::readPiece(uint32_t index, const VolumeSet::Volume& volume, Stream& output) {
    failedVolume_.reset();
    try {
        return copyPiece(index, volume, output);
    } catch (const TqlZRKAFileReadError&) {
        return failVolume(ARCERR_READ, "", index, volume.path);
    } catch (const TqlZRKAFileWriteError&) {
        reportStatus(ARCERR_WRITE, "");
    }
    return 0;
}

int SplitArchive::copyPiece(uint32_t index, const VolumeSet::Volume& volume, Stream& output) {
    const std::string& path = volume.path;
    std::unique_ptr<FileStream> input = files_.open(path, ReadExisting);
    if (!input) return failVolume(ARCERR_OPEN, path, index, path);
    ChunkStream root;
    root.attach(*input, 0, input->size());
    ChunkStream* container = root.child(tags::kArchive);
    ChunkStream* data = container ? container->child(tags::kData) : nullptr;
    if (!data) return failVolume(ARCERR_READ, "", index, path);
    if (!input->seek(data->dataPosition())) return failVolume(ARCERR_OPEN, path, index, path);
    const uint64_t length = volume.header.volumeDataSize();
    // The chunk's CRC covers exactly its data; it can vouch for the piece only when
    // the piece is the whole record.
    checkCrc_ = length == data->dataSize();
    storedCrc_ = 0;
    struct CrcOff {
        bool& check;
        ~CrcOff() { check = false; }
    } crcOff{checkCrc_};
    if (volume.header.flags() & ArchiveHeader::kEncrypted) {
        StreamCipher cipher;
        cipher.setKey(password_, volume.header.bytes.data(), ArchiveHeader::kSize);
        copyDecrypt(output, *input, length, &cipher);
    } else {
        copyData(output, *input, length);
    }
    if (checkCrc_ && storedCrc_ != data->dataCrc()) return failVolume(ARCERR_CRC, path, index, path);
    pieceCrc_ = plainCrcNeeded_ ? plainCrc_ : storedCrc_;
    if (!input->close()) return failVolume(ARCERR_READ, "", index, path);
    return 1;
}

int SplitArchive::combine() {
    failedVolume_.reset();
    reportProgress(0, 1);
    // The target's name comes from the archive: a name that is not one plain file in
    // the folder (or no name, which would make the folder itself the target) stops the
    // combine before anything is created.
    const std::string problem = storedNameProblem(targetPath_.substr(targetPath_.find_last_of('\\') + 1));
    if (!problem.empty()) {
        reportStatus(ARCERR_ABNORMAL, problem);
        return 0;
    }
    if (useKeyFile_ && !deriveKeyFilePassword()) return 0;

    struct CombineScope {
        SplitArchive& a;
        explicit CombineScope(SplitArchive& archive) : a(archive) {
            a.combining_ = true;
            a.reportedCandidates_.clear();
        }
        ~CombineScope() { a.combining_ = false; }
    } scope(*this);

    // The combined file grows under the part name; however the combine ends short of
    // the rename (a failure, an exception from a callback), the part file goes.
    const std::string partPath = targetPath_ + kPartSuffix;
    struct PartFile {
        FileSystem& files;
        const std::string& path;
        std::unique_ptr<FileStream> stream;
        bool keep = false;
        ~PartFile() {
            if (!stream) return;
            stream.reset();
            if (!keep) files.removeFile(path);
        }
    } part{files_, partPath, nullptr};

    try {
        ArchiveHeader archive;
        DateRecord date;
        if (!readArchiveHeader(archive, date, ownPath_)) return 0;

        totalBytes_ = archive.fileSize();
        doneBytes_ = 0;
        const uint32_t count = archive.volumeCount();
        auto missing = [&](uint32_t i) {
            return failVolume(ARCERR_NOT_FOUND, formatText("%s %d/%d", targetPath_.c_str(), int(i + 1), int(count)),
                              i, "");
        };

        const VolumeSet set = listVolumes(archive);
        for (uint32_t i = 0; i < count; ++i)
            if (!set.at(i).present()) return missing(i);

        part.stream = files_.open(partPath, CreateWrite);
        if (!part.stream) {
            reportStatus(ARCERR_CREATE, targetPath_);
            return 0;
        }
        FileStream& output = *part.stream;
        // A program that came from the internet passes its zone mark on, so the system
        // treats the rebuilt file as downloaded too. Written first: writing a stream
        // later would touch the file's time. Where the file system keeps no marks,
        // there is nothing to pass on.
        const std::string mark = files_.zoneMark(ownPath_);
        if (!mark.empty()) files_.setZoneMark(partPath, mark);

        // The CRC of the whole original, from the pieces' CRCs, against the one the
        // writer stored (0: none stored).
        const Crc32 crc32;
        uint32_t fileCrc = 0;
        for (uint32_t i = 0; i < count; ++i) {
            VolumeSet::Volume volume;
            if (!findVolume(i, archive, set, volume)) return missing(i);
            if (!readPiece(i, volume, output)) return 0;
            fileCrc = crc32.combine(fileCrc, 0, pieceCrc_, volume.header.volumeDataSize());
        }
        if (date.fileCrc() != 0 && fileCrc != date.fileCrc()) {
            reportStatus(ARCERR_CRC, targetPath_);
            return 0;
        }

        if (date.lastWriteTime() != 0) output.setLastWriteTime(date.lastWriteTime());
        if (!output.close()) {
            reportStatus(ARCERR_WRITE, targetPath_);
            return 0;
        }
        if (!files_.replaceFile(partPath, targetPath_)) {
            reportStatus(ARCERR_WRITE, targetPath_);
            return 0;
        }
        part.keep = true;
        if (date.lastWriteTime() != 0) files_.setAttributes(targetPath_, date.attributes());
        return 1;
    } catch (const TqlZRKAFileReadError&) {
        reportStatus(ARCERR_READ, "");
    } catch (const TqlZRKAFileWriteError&) {
        reportStatus(ARCERR_WRITE, "");
    }
    return 0;
}

} // namespace zrk
