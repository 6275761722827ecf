// Reading the archive records and combining the volumes. Every record size comes
// from a file and is checked before it is used to position, read or allocate.
#include "archive/split_archive.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "chunk/chunk_stream.h"
#include "crypto/crc32.h"
#include "crypto/sha512.h"
#include "crypto/stream_cipher.h"
#include "error/tql_exception.h"
#include "stream/file_stream.h"
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

SplitArchive::SplitArchive() { initialize(); }

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

int SplitArchive::deriveKeyFilePassword() {
    FileStream file;
    if (!file.open(keyFilePath_, ReadExisting)) {
        reportStatus(ARCERR_OPEN, keyFilePath_);
        return 0;
    }
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

SplitArchive::Locate SplitArchive::locateInfo(FileStream& file, ChunkStream& root, const std::string& path,
                                              bool atOffset, ChunkStream*& container, ChunkStream*& info) {
    if (!file.open(path, ReadExisting)) return Locate::Open;
    const uint64_t size = file.size();
    if (atOffset) {
        if (!file.seek(archiveOffset_)) return Locate::Offset;
        const uint64_t here = file.tell();
        if (here == Stream::kNoPosition) return Locate::Offset;
        root.attach(file, here, here < size ? size - here : 0);
    } else {
        root.attach(file, 0, size);
    }
    try {
        container = &root.findChild("ZRKD");
        info = &container->findChild("INFO");
    } catch (const TqlSChunkError&) {
        return Locate::Chunk;
    }
    return Locate::Ok;
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
    if (combining_ && !reportedCandidates_.insert(path).second) return;
    reportStatus(code, path);
}

int SplitArchive::isEncrypted(uint32_t& result) {
    FileStream file;
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
    if (!readHeaderBytes(file, *info, header)) {
        reportStatus(ARCERR_READ, targetPath_);
        return 0;
    }
    result = header.flags() & ArchiveHeader::kEncrypted;
    return 1;
}

int SplitArchive::readVolumeHeader(ArchiveHeader& header, const std::string& path) {
    FileStream file;
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
    if (!readHeaderBytes(file, *info, header)) {
        reportCandidate(ARCERR_READ, path);
        return 0;
    }
    return unlockHeader(header) == Unlock::Ok ? 1 : 0;
}

int SplitArchive::readArchiveHeader(ArchiveHeader& header, DateRecord& dateRecord, const std::string& path) {
    FileStream file;
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
    if (!readHeaderBytes(file, *info, header)) {
        reportStatus(ARCERR_READ, path);
        return 0;
    }
    bool haveDate = false;
    try {
        ChunkStream& date = container->findChild("DFDT");
        if (!file.seek(date.dataPosition()) || !readExactly(file, dateRecord.bytes.data(), DateRecord::kSize)) {
            reportStatus(ARCERR_READ, path);
            return 0;
        }
        haveDate = true;
    } catch (const TqlSChunkError&) {
        // No date record: the output keeps the time and attributes it gets.
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
    FileStream file;
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
    if (!file.seek(info->dataPosition()) || !readExactly(file, record.data(), uint32_t(size))) {
        reportStatus(ARCERR_READ, path);
        return {};
    }
    file.close();

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
    if (!isSafeStoredName(name)) {
        reportStatus(ARCERR_ABNORMAL, "");
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
    return true;
}

void SplitArchive::copyBlocks(Stream& output, Stream& input, uint64_t length, StreamCipher* cipher) {
    if (length != 0 && !ready_) throw TqlZRKAFileReadError();
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

bool SplitArchive::findVolume(uint32_t index, const ArchiveHeader& archive, const std::vector<std::string>& candidates,
                              size_t preferred, ArchiveHeader& volume, size_t& chosen) {
    auto matches = [&](size_t c) {
        return readVolumeHeader(volume, candidates[c]) && volume.sameArchive(archive) && volume.volumeIndex() == index;
    };
    if (preferred < candidates.size() && matches(preferred)) {
        chosen = preferred;
        return true;
    }
    // The file seen in the presence pass changed: search again from the first one.
    for (size_t c = 0; c < candidates.size(); ++c)
        if (matches(c)) {
            chosen = c;
            return true;
        }
    return false;
}

int SplitArchive::combine() {
    reportProgress(0, 1);
    if (useKeyFile_ && !deriveKeyFilePassword()) return 0;

    struct CombineScope {
        SplitArchive& a;
        explicit CombineScope(SplitArchive& archive) : a(archive) {
            a.combining_ = true;
            a.reportedCandidates_.clear();
        }
        ~CombineScope() {
            a.combining_ = false;
            a.checkCrc_ = false;
        }
    } scope(*this);

    try {
        ArchiveHeader archive;
        DateRecord date;
        if (!readArchiveHeader(archive, date, ownPath_)) return 0;

        const std::string folder = parentFolder(ownPath_);
        std::vector<FileEntry> entries;
        listFiles(folder, "*.zrd", entries);
        std::vector<std::string> candidates;
        candidates.reserve(entries.size());
        for (const FileEntry& entry : entries) candidates.push_back(joinPath(folder, entry.name));

        totalBytes_ = archive.fileSize();
        doneBytes_ = 0;
        const uint32_t count = archive.volumeCount();
        auto missing = [&](uint32_t i) {
            reportStatus(ARCERR_NOT_FOUND, formatText("%s %d/%d", targetPath_.c_str(), int(i + 1), int(count)));
            return 0;
        };

        // Presence pass: every candidate's header once; per index the first match wins.
        std::unordered_map<uint32_t, size_t> byIndex;
        for (size_t c = 0; c < candidates.size(); ++c) {
            ArchiveHeader volume;
            if (readVolumeHeader(volume, candidates[c]) && volume.sameArchive(archive))
                byIndex.emplace(volume.volumeIndex(), c);
        }
        for (uint32_t i = 0; i < count; ++i)
            if (byIndex.find(i) == byIndex.end()) return missing(i);

        const std::string partPath = targetPath_ + kPartSuffix;
        FileStream output;
        if (!output.open(partPath, CreateWrite)) {
            reportStatus(ARCERR_CREATE, targetPath_);
            return 0;
        }

        for (uint32_t i = 0; i < count; ++i) {
            ArchiveHeader volume;
            size_t chosen = 0;
            if (!findVolume(i, archive, candidates, byIndex[i], volume, chosen)) return missing(i);
            const std::string& path = candidates[chosen];
            FileStream input;
            if (!input.open(path, ReadExisting)) {
                reportStatus(ARCERR_OPEN, path);
                return 0;
            }
            ChunkStream root;
            root.attach(input, 0, input.size());
            ChunkStream& data = root.findChild("ZRKD").findChild("DATA");
            if (!input.seek(data.dataPosition())) {
                reportStatus(ARCERR_OPEN, path);
                return 0;
            }
            const uint64_t length = volume.volumeDataSize();
            // The chunk's CRC covers exactly its data; it can vouch for the piece only
            // when the piece is the whole record.
            checkCrc_ = length == data.dataSize();
            storedCrc_ = 0;
            if (volume.flags() & ArchiveHeader::kEncrypted) {
                StreamCipher cipher;
                cipher.setKey(password_, volume.bytes.data(), ArchiveHeader::kSize);
                copyDecrypt(output, input, length, &cipher);
            } else {
                copyData(output, input, length);
            }
            const bool damaged = checkCrc_ && storedCrc_ != data.dataCrc();
            checkCrc_ = false;
            if (damaged) {
                reportStatus(ARCERR_CRC, path);
                return 0;
            }
            input.close();
        }

        if (date.lastWriteTime() != 0) output.setLastWriteTime(date.lastWriteTime());
        output.close();
        if (!replaceFile(partPath, targetPath_)) {
            reportStatus(ARCERR_WRITE, targetPath_);
            return 0;
        }
        if (date.lastWriteTime() != 0) setAttributes(targetPath_, date.attributes());
        return 1;
    } catch (const TqlSChunkError&) {
        reportStatus(ARCERR_READ, "");
    } catch (const TqlZRKAFileReadError&) {
        reportStatus(ARCERR_READ, "");
    } catch (const TqlZRKAFileWriteError&) {
        reportStatus(ARCERR_WRITE, "");
    }
    return 0;
}

} // namespace zrk
