// Reading the archive records and combining the volumes. Every record size comes
// from a file and is checked before it is used to position, read or allocate.
#include "archive/split_archive.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "archive/stored_name.h"
#include "archive/worker_threads.h"
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

int SplitArchive::missingVolume(uint32_t index, uint32_t count) {
    return failVolume(ARCERR_NOT_FOUND, formatText("%s %d/%d", targetPath_.c_str(), int(index + 1), int(count)), index,
                      "");
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

namespace {

// The combine of an encrypted archive, one volume per worker: each worker reads,
// CRC-checks and decrypts its volume's piece into its own blocks; the caller's thread
// writes every block at its offset, reports progress and settles the pieces in volume
// order, so a failure is reported as the one-after-another copy would report it.
constexpr uint32_t kBlocksPerWorker = 2;

struct PieceJob {
    uint32_t index = 0;
    VolumeSet::Volume volume;
    uint64_t offset = 0;  // of the piece in the combined file
};

struct PieceOutcome {
    enum class Kind { Pending, Done, Failed, Missing, WriteFailed, Thrown, Abandoned };
    Kind kind = Kind::Pending;
    uint32_t code = 0;  // Failed: failVolume's code and detail
    std::string detail;
    std::exception_ptr error;  // Thrown
    uint32_t crc = 0;          // Done: the CRC of the plain bytes
};

struct PieceBlock {
    unsigned char* data = nullptr;
    bool filled = false;
    uint32_t size = 0;
    uint32_t index = 0;
    uint64_t offset = 0;
};

struct PieceWorker {
    std::thread thread;
    std::optional<PieceJob> job;  // set by the caller, cleared by the worker when the piece has ended
    PieceBlock blocks[kBlocksPerWorker];
    uint32_t fill = 0;   // the block the worker fills next
    uint32_t drain = 0;  // the block the caller writes next
    std::vector<CopyBuffer> owned;
};

struct PieceShared {
    std::mutex lock;
    std::condition_variable toCaller;
    std::condition_variable toWorkers;
    bool stop = false;
    // The first volume known to have failed (the count while none has): no later
    // volume is needed any more.
    uint32_t limit = 0;
    std::vector<PieceOutcome> outcomes;
    std::vector<uint32_t> unwritten;  // per volume, blocks filled and not yet written
    std::vector<uint64_t> sizes;      // per volume handed out, its piece's length
    std::vector<std::string> paths;   // and its file
};

} // namespace

int SplitArchive::combinePieces(const ArchiveHeader& archive, const VolumeSet& set, Stream& output,
                                uint32_t& fileCrc) {
    using Kind = PieceOutcome::Kind;
    const uint32_t count = archive.volumeCount();
    const uint32_t wanted = workerCount(count);
    if (wanted < 2 || !ready_) return -1;

    PieceShared shared;
    shared.limit = count;
    shared.outcomes.resize(count);
    shared.unwritten.assign(count, 0);
    shared.sizes.assign(count, 0);
    shared.paths.resize(count);
    const Crc32 crc;  // built here: the workers share its tables
    const size_t bufferBytes = size_t(bufferSize_) + kBufferSlack;

    // Worker 0 uses the archive's two buffers; each other one gets two of its own.
    std::vector<std::unique_ptr<PieceWorker>> workers;
    for (uint32_t i = 0; i < wanted; ++i) {
        auto worker = std::make_unique<PieceWorker>();
        if (i == 0) {
            worker->blocks[0].data = transferBuffer_.get();
            worker->blocks[1].data = spareBuffer_.get();
        } else {
            for (PieceBlock& block : worker->blocks) {
                worker->owned.push_back(allocateCopyBuffer(bufferBytes));
                block.data = worker->owned.back().get();
            }
            if (!worker->owned[0] || !worker->owned[1]) break;
        }
        workers.push_back(std::move(worker));
    }

    auto readBlocks = [&](PieceWorker& w, const PieceJob& job) {
        PieceOutcome out;
        auto fail = [&](uint32_t code, const std::string& detail) {
            out.kind = Kind::Failed;
            out.code = code;
            out.detail = detail;
            return out;
        };
        const std::string& path = job.volume.path;
        try {
            std::unique_ptr<FileStream> input = files_.open(path, ReadExisting);
            if (!input) return fail(ARCERR_OPEN, path);
            ChunkStream root;
            root.attach(*input, 0, input->size());
            ChunkStream* container = root.child(tags::kArchive);
            ChunkStream* data = container ? container->child(tags::kData) : nullptr;
            if (!data) return fail(ARCERR_READ, "");
            if (!input->seek(data->dataPosition())) return fail(ARCERR_OPEN, path);
            uint64_t length = job.volume.header.volumeDataSize();
            const bool checkCrc = length == data->dataSize();
            std::optional<StreamCipher> cipher;
            if (job.volume.header.flags() & ArchiveHeader::kEncrypted) {
                cipher.emplace();
                cipher->setKey(password_, job.volume.header.bytes.data(), ArchiveHeader::kSize);
            }
            const bool plainCrcNeeded = cipher || !checkCrc;
            uint32_t storedCrc = 0;
            uint32_t plainCrc = 0;
            for (uint64_t offset = job.offset; length != 0;) {
                PieceBlock& block = w.blocks[w.fill];
                {
                    std::unique_lock<std::mutex> hold(shared.lock);
                    auto given = [&] { return shared.stop || job.index > shared.limit ||
                                              shared.outcomes[job.index].kind != Kind::Pending; };
                    shared.toWorkers.wait(hold, [&] { return given() || !block.filled; });
                    if (given()) {
                        out.kind = Kind::Abandoned;
                        return out;
                    }
                }
                const uint32_t k = length < bufferSize_ ? uint32_t(length) : bufferSize_;
                if (input->read(block.data, k) != int32_t(k)) return fail(ARCERR_READ, "");
                if (checkCrc) storedCrc = crc.update(block.data, k, storedCrc);
                if (cipher) cipher->decrypt(block.data, int32_t(k));
                if (plainCrcNeeded) plainCrc = crc.update(block.data, k, plainCrc);
                {
                    std::lock_guard<std::mutex> hold(shared.lock);
                    block.filled = true;
                    block.size = k;
                    block.index = job.index;
                    block.offset = offset;
                    ++shared.unwritten[job.index];
                    w.fill = (w.fill + 1) % kBlocksPerWorker;
                }
                shared.toCaller.notify_one();
                offset += k;
                length -= k;
            }
            if (checkCrc && storedCrc != data->dataCrc()) return fail(ARCERR_CRC, path);
            out.crc = plainCrcNeeded ? plainCrc : storedCrc;
            if (!input->close()) return fail(ARCERR_READ, "");
            out.kind = Kind::Done;
        } catch (const TqlZRKAFileReadError&) {
            return fail(ARCERR_READ, "");
        } catch (...) {
            out.kind = Kind::Thrown;
            out.error = std::current_exception();
        }
        return out;
    };

    auto work = [&](PieceWorker& w) {
        for (;;) {
            PieceJob job;
            {
                std::unique_lock<std::mutex> hold(shared.lock);
                shared.toWorkers.wait(hold, [&] { return shared.stop || w.job; });
                if (shared.stop) return;
                job = *w.job;
            }
            PieceOutcome out = readBlocks(w, job);
            {
                std::lock_guard<std::mutex> hold(shared.lock);
                PieceOutcome& kept = shared.outcomes[job.index];
                // A failed write of one of its blocks came first and stays.
                if (kept.kind == Kind::Pending && out.kind != Kind::Abandoned) {
                    kept = std::move(out);
                    if (kept.kind != Kind::Done && job.index < shared.limit) shared.limit = job.index;
                }
                w.job.reset();
            }
            shared.toCaller.notify_one();
            shared.toWorkers.notify_all();  // a lower limit lets the later pieces go
        }
    };

    // However this ends, every worker is stopped and gone before the buffers, the
    // files or the key are touched by anyone else.
    WorkerThreads<PieceShared, PieceWorker> threads(shared, workers);
    if (threads.start(work) == 0) return -1;

    uint32_t next = 0;      // the next volume to hand out
    uint32_t settled = 0;   // the volumes before it have been written and checked
    uint64_t offset = 0;
    for (;;) {
        enum class Action { Settle, HandOut, Write } action;
        PieceWorker* worker = nullptr;
        PieceBlock block;
        bool keep = false;
        {
            std::unique_lock<std::mutex> hold(shared.lock);
            for (;;) {
                if (shared.outcomes[settled].kind != Kind::Pending && shared.unwritten[settled] == 0) {
                    action = Action::Settle;
                    break;
                }
                if (next < count && next < shared.limit) {
                    for (auto& w : workers)
                        if (!w->job) worker = w.get();
                    if (worker) {
                        action = Action::HandOut;
                        break;
                    }
                }
                for (auto& w : workers)
                    if (w->blocks[w->drain].filled) worker = w.get();
                if (worker) {
                    action = Action::Write;
                    block = worker->blocks[worker->drain];
                    keep = block.index <= shared.limit && shared.outcomes[block.index].kind != Kind::WriteFailed;
                    break;
                }
                shared.toCaller.wait(hold);
            }
        }

        if (action == Action::Settle) {
            // No worker changes an outcome once its piece has ended and been written.
            const PieceOutcome& out = shared.outcomes[settled];
            if (out.kind == Kind::Done) {
                fileCrc = crc.combine(fileCrc, 0, out.crc, shared.sizes[settled]);
                if (++settled == count) return 1;
                continue;
            }
            threads.stopAll();
            switch (out.kind) {
            case Kind::Failed:
                return failVolume(out.code, out.detail, settled, shared.paths[settled]);
            case Kind::Missing:
                return missingVolume(settled, count);
            case Kind::WriteFailed:
                reportStatus(ARCERR_WRITE, "");
                return 0;
            default:
                std::rethrow_exception(out.error);
            }
        }

        if (action == Action::HandOut) {
            // Found on this thread: a candidate found unreadable is reported from here.
            VolumeSet::Volume volume;
            PieceOutcome missing;
            try {
                if (findVolume(next, archive, set, volume)) {
                    missing.kind = Kind::Pending;
                } else {
                    missing.kind = Kind::Missing;
                }
            } catch (...) {
                missing.kind = Kind::Thrown;
                missing.error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> hold(shared.lock);
                if (missing.kind == Kind::Pending) {
                    const uint64_t length = volume.header.volumeDataSize();
                    shared.sizes[next] = length;
                    shared.paths[next] = volume.path;
                    worker->job = PieceJob{next, volume, offset};
                    offset += length;
                } else {
                    shared.outcomes[next] = std::move(missing);
                    if (next < shared.limit) shared.limit = next;
                }
                ++next;
            }
            shared.toWorkers.notify_all();
            continue;
        }

        // Every block is written at its offset, one seek and one write each.
        bool written = false;
        if (keep) {
            written = output.seek(block.offset) && output.write(block.data, block.size) == int32_t(block.size);
            if (written) doneBytes_ += block.size;
        }
        {
            std::lock_guard<std::mutex> hold(shared.lock);
            if (keep && !written) {
                // Its earlier blocks were written: the failed write is what the piece ends in.
                shared.outcomes[block.index] = PieceOutcome{};
                shared.outcomes[block.index].kind = Kind::WriteFailed;
                if (block.index < shared.limit) shared.limit = block.index;
            }
            worker->blocks[worker->drain].filled = false;
            worker->drain = (worker->drain + 1) % kBlocksPerWorker;
            --shared.unwritten[block.index];
        }
        shared.toWorkers.notify_all();
        if (written) reportProgress(doneBytes_, totalBytes_);
    }
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
        auto missing = [&](uint32_t i) { return missingVolume(i, count); };

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
        // An encrypted archive of several volumes is decrypted one volume per core; the
        // rest (and any archive when no worker starts) one volume after another.
        const int pieces = decrypt_ == 1 && count > 1 ? combinePieces(archive, set, output, fileCrc) : -1;
        if (pieces == 0) return 0;
        for (uint32_t i = 0; pieces == -1 && i < count; ++i) {
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
