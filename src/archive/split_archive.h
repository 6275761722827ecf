// SplitArchive: reads the archive records of the executable and its volumes,
// checks the key, and rebuilds the original file from the volumes (combine).
//
// Every caller uses the same few steps: open(path, key) finds the archive in an
// executable or a volume; readArchiveInfo() gives the stored name and
// readArchiveHeader() the header and date; listVolumes() finds the volumes beside it
// by content; readPiece() reads one volume's piece, CRC-checked and decrypted, into a
// stream; combine() rebuilds the original file and, when it fails, failedVolume()
// says which volume was at fault. Failures are 1/0 results with a status code
// reported once through the status callback. All file access goes through the
// FileSystem the archive was made with.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "archive/archive_key.h"
#include "archive/archive_records.h"
#include "archive/archive_status.h"
#include "stream/copy_buffer.h"
#include "stream/file_system.h"

namespace zrk {

class ChunkStream;
class Crc32;
class Stream;
class StreamCipher;

// The volumes found beside an archive, by index. The count comes from the archive's
// header, so only the volumes found are held: a damaged count costs nothing.
struct VolumeSet {
    struct Volume {
        std::string path;  // empty: missing
        ArchiveHeader header;
        bool present() const { return !path.empty(); }
    };
    uint32_t count = 0;                     // the archive's volume count
    std::vector<std::string> candidates;    // every "*.zrd" file of the folder, in listing order
    std::map<uint32_t, Volume> found;       // the volumes present, by index below count
    std::vector<std::string> unreadable;    // candidates that could not be opened or read

    // The volume of `index`; one without a path when it is missing.
    const Volume& at(uint32_t index) const {
        static const Volume missing;
        const auto it = found.find(index);
        return it == found.end() ? missing : it->second;
    }
};

// The volume a failed combine or piece read was at: its index and file (empty when
// the volume was missing).
struct VolumeFailure {
    uint32_t index = 0;
    std::string path;
};

class SplitArchive {
public:
    using ProgressCallback = std::function<int32_t(uint64_t done, uint64_t total, SplitArchive& archive)>;
    using StatusCallback = std::function<int32_t(uint32_t code, const std::string& detail, SplitArchive& archive)>;

    static constexpr uint32_t kDefaultBufferSize = 0x400000;
    static constexpr uint32_t kBufferSlack = 1056;
    // "INFO" holds a header and a name; anything larger is damage, not a name.
    static constexpr uint64_t kMaxInfoSize = 1u << 20;
    // The combined file grows under this suffix and takes its name only when complete.
    static constexpr const char* kPartSuffix = ".zrk-part";

    enum class OpenResult { Opened, CannotOpen, NotAnArchive };

    explicit SplitArchive(FileSystem& files = systemFileSystem());
    virtual ~SplitArchive();
    SplitArchive(const SplitArchive&) = delete;
    SplitArchive& operator=(const SplitArchive&) = delete;

    virtual int32_t reportProgress(uint64_t done, uint64_t total);
    virtual int32_t reportStatus(uint32_t code, const std::string& detail);
    virtual int deriveKeyFilePassword();
    virtual int readVolumeHeader(ArchiveHeader& header, const std::string& path);
    virtual int readArchiveHeader(ArchiveHeader& header, DateRecord& dateRecord, const std::string& path);
    virtual void copyData(Stream& output, Stream& input, uint64_t length);
    virtual void copyDecrypt(Stream& output, Stream& input, uint64_t length, StreamCipher* cipher);

    virtual int initialize();
    virtual void finalize();
    virtual void setProgressCallback(ProgressCallback f) { progressCallback_ = std::move(f); }
    virtual void setStatusCallback(StatusCallback f) { statusCallback_ = std::move(f); }
    virtual void setTargetPath(const std::string& path) { targetPath_ = path; }
    virtual void setDecrypt(uint32_t flag) { decrypt_ = flag; }
    virtual void setPassword(const std::string& text);
    virtual void setUseKeyFile(uint32_t flag) { useKeyFile_ = flag; }
    virtual void setKeyFilePath(const std::string& path) { keyFilePath_ = path; }
    virtual void setArchiveOffset(uint64_t offset) { archiveOffset_ = offset; }
    virtual int isEncrypted(uint32_t& result);
    virtual int combine();
    virtual std::string readArchiveInfo(const std::string& path);
    virtual void setOwnPath(const std::string& path) { ownPath_ = path; }

    // Takes effect at the next initialize(); kept to what one transfer can move.
    void setBufferSize(uint32_t size);

    // Finds the archive description in the executable or volume at `path` (within its
    // first mebibyte) and takes `key`; reports nothing. The path becomes ownPath and
    // targetPath until they are set otherwise.
    OpenResult open(const std::string& path, const Key& key);
    // Sets decrypt, password, useKeyFile and keyFilePath from one value.
    void setKey(const Key& key);
    // The volumes of `archive` in the folder of ownPath, each found by content: the
    // first candidate in listing order with the archive's identity and the index.
    VolumeSet listVolumes(const ArchiveHeader& archive);
    // Appends the piece of the volume with index `index` to `output`: the CRC of the
    // stored bytes is checked against the record's when the piece is the whole record,
    // and the bytes are decrypted when the volume is encrypted. Progress goes on from
    // doneBytes(). 1 on success; otherwise the failure has been reported and, where a
    // volume was at fault, failedVolume() names it.
    int readPiece(uint32_t index, const VolumeSet::Volume& volume, Stream& output);
    const std::optional<VolumeFailure>& failedVolume() const { return failedVolume_; }
    uint64_t archiveOffset() const { return archiveOffset_; }

    uint32_t ready() const { return ready_; }
    uint32_t decrypt() const { return decrypt_; }
    uint32_t bufferSize() const { return bufferSize_; }
    uint64_t doneBytes() const { return doneBytes_; }
    uint64_t totalBytes() const { return totalBytes_; }

private:
    enum class Locate { Ok, Open, Offset, Chunk };
    enum class Unlock { Ok, NoKey, WrongKey };

    Locate locateInfo(std::unique_ptr<FileStream>& file, ChunkStream& root, const std::string& path,
                      bool atOffset, ChunkStream*& container, ChunkStream*& info);
    Unlock unlockHeader(ArchiveHeader& header) const;
    void reportCandidate(uint32_t code, const std::string& path);
    void copyBlocks(Stream& output, Stream& input, uint64_t length, StreamCipher* cipher);
    bool copyOverlapped(Stream& output, Stream& input, uint64_t length, StreamCipher* cipher);
    // One block into `buffer`: read, CRC of the stored bytes, decryption. False on a short read.
    bool prepareBlock(Stream& input, unsigned char* buffer, uint32_t k, StreamCipher* cipher, const Crc32& crc);
    bool findVolume(uint32_t index, const ArchiveHeader& archive, const VolumeSet& set, VolumeSet::Volume& found);
    int copyPiece(uint32_t index, const VolumeSet::Volume& volume, Stream& output);
    // The pieces of an encrypted archive of several volumes, one volume per worker
    // thread, written at their offsets into `output` from the caller's thread. 1: every
    // piece moved and `fileCrc` is the CRC of them all; 0: a failure was reported as
    // the one-volume-after-another copy would have reported it; -1: no worker could be
    // started, nothing was done.
    int combinePieces(const ArchiveHeader& archive, const VolumeSet& set, Stream& output, uint32_t& fileCrc);
    int failVolume(uint32_t code, const std::string& detail, uint32_t index, const std::string& path);
    int missingVolume(uint32_t index, uint32_t count);

    FileSystem& files_;
    uint32_t ready_ = 0;
    uint32_t decrypt_ = 0;
    std::string password_;
    uint32_t useKeyFile_ = 0;
    uint64_t archiveOffset_ = 0;
    std::string targetPath_;
    std::string keyFilePath_;
    std::string ownPath_;
    uint32_t bufferSize_ = kDefaultBufferSize;
    CopyBuffer transferBuffer_;
    CopyBuffer spareBuffer_;
    ProgressCallback progressCallback_;
    StatusCallback statusCallback_;
    uint64_t totalBytes_ = 0;
    uint64_t doneBytes_ = 0;

    // During a combine: candidates already reported unreadable, and the CRC of the
    // stored bytes of the piece being copied.
    bool combining_ = false;
    std::set<std::string> reportedCandidates_;
    // During listVolumes: where unreadable candidates are collected.
    std::vector<std::string>* unreadable_ = nullptr;
    std::optional<VolumeFailure> failedVolume_;
    bool checkCrc_ = false;
    uint32_t storedCrc_ = 0;
    // The CRC of the plain bytes of the piece being copied, where the stored CRC is not
    // already that (an encrypted piece, or a piece shorter than its record), and of the
    // last piece readPiece moved.
    bool plainCrcNeeded_ = false;
    uint32_t plainCrc_ = 0;
    uint32_t pieceCrc_ = 0;
};

} // namespace zrk
