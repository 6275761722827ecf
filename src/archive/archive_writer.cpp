// Writing archives: volumes first, streaming the input once, then the executable,
// which is the only member whose date record the combine reads. The whole-file CRC
// in word 0 of every date record is known only at the end, so the volumes' date
// records are rewritten then (32 bytes and two headers each, not the data).
#include "archive/archive_writer.h"

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <random>
#include <system_error>
#include <thread>

#include "archive/stored_name.h"
#include "archive/worker_threads.h"
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

// The records of one volume and its piece of the input, read from where `input`
// stands, CRC'd as plain bytes into `crc` and encrypted with `cipher` when there is
// one. `moved` hears of every block written. "" or what failed.
std::string writeVolume(FileStream& out, const std::string& path, Stream& input, uint64_t size,
                        const std::vector<unsigned char>& info, const DateRecord& placeholder, StreamCipher* cipher,
                        unsigned char* block, uint32_t blockSize, uint32_t& crc,
                        const std::function<void(uint32_t)>& moved) {
    ChunkStream root;
    root.attach(out, 0, 0);
    if (!root.addChild(tags::kArchive)) return "cannot lay out " + path;
    ChunkStream& container = *root.child(tags::kArchive);
    if (!writeLeaf(container, out, tags::kInfo, info.data(), info.size()) ||
        !writeLeaf(container, out, tags::kDate, placeholder.bytes.data(), DateRecord::kSize) ||
        !container.addChild(tags::kData))
        return "cannot write " + path;
    ChunkStream& data = *container.child(tags::kData);
    if (!out.seek(data.dataPosition())) return "cannot write " + path;
    const Crc32 crc32;
    crc = 0;
    for (uint64_t left = size; left != 0;) {
        const uint32_t k = left < blockSize ? uint32_t(left) : blockSize;
        if (input.read(block, k) != int32_t(k)) return "cannot read the input file";
        crc = crc32.update(block, k, crc);
        if (cipher) cipher->encrypt(block, int32_t(k));
        if (!data.writeData(block, k)) return "cannot write " + path;
        left -= k;
        moved(k);
    }
    if (!data.finishData() || !data.writeHeader() || !container.updateFromChildren() || !container.writeHeader() ||
        !out.close())
        return "cannot write " + path;
    return "";
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

    auto planOf = [&](uint32_t v) {
        const uint64_t start = uint64_t(v) * perVolume;
        const uint64_t size = start >= fileSize ? 0 : std::min(perVolume, fileSize - start);
        const ArchiveHeader plain = header(v, size);
        VolumePlan plan{joinPath(options_.outputFolder, formatText("%s.%03u.zrd", stem.c_str(), v + 1)), start, size,
                        infoRecord(plain, name, encrypted, password), storedDate(date, plain, encrypted, password),
                        std::nullopt};
        if (encrypted) plan.keyHeader = plain;
        return plan;
    };
    // Encrypted volumes are independent: one per core. Otherwise (and where no worker
    // starts) one after another, in one pass over the input.
    const int parallel = encrypted ? writeInParallel(count, planOf, password, create, blockSize, fileSize, fileCrc) : -1;
    if (parallel == 0) return 0;
    for (uint32_t v = 0; parallel == -1 && v < count; ++v) {
        const VolumePlan plan = planOf(v);
        volumePaths_.push_back(plan.path);
        std::unique_ptr<FileStream> created = create(plan.path);
        if (!created) return fail("cannot create " + plan.path);
        StreamCipher cipher;
        if (plan.keyHeader) cipher.setKey(password, plan.keyHeader->bytes.data(), ArchiveHeader::kSize);
        uint32_t pieceCrc = 0;
        const std::string error =
            writeVolume(*created, plan.path, input, plan.size, plan.info, plan.placeholder,
                        plan.keyHeader ? &cipher : nullptr, block.get(), blockSize, pieceCrc, [&](uint32_t k) {
                            done += k;
                            if (options_.progress) options_.progress(done, fileSize);
                        });
        if (!error.empty()) return fail(error);
        fileCrc = crc32.combine(fileCrc, 0, pieceCrc, plan.size);
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

int ArchiveWriter::writeInParallel(uint32_t count, const std::function<VolumePlan(uint32_t)>& planOf,
                                   const std::string& password, const Create& create, uint32_t blockSize,
                                   uint64_t fileSize, uint32_t& fileCrc) {
    const uint32_t wanted = workerCount(count);
    if (wanted < 2) return -1;

    struct Job {
        uint32_t index = 0;
        VolumePlan plan;
        std::unique_ptr<FileStream> out;
    };
    struct Outcome {
        enum class Kind { Pending, Done, Failed, Thrown } kind = Kind::Pending;
        std::string error;
        std::exception_ptr thrown;
        uint32_t crc = 0;
        uint64_t size = 0;
    };
    struct Worker {
        std::thread thread;
        bool busy = false;
        std::optional<Job> job;  // handed over by the caller, taken by the worker
        CopyBuffer block;
    };
    struct Shared {
        std::mutex lock;
        std::condition_variable toCaller;
        std::condition_variable toWorkers;
        bool stop = false;
        uint32_t limit = 0;  // the first volume known to have failed; none later is needed
        std::vector<Outcome> outcomes;
        uint64_t moved = 0;  // bytes of the input written, by all workers
    } shared;
    using Kind = Outcome::Kind;
    shared.limit = count;
    shared.outcomes.resize(count);
    struct Abandoned {};

    std::vector<std::unique_ptr<Worker>> workers;
    for (uint32_t i = 0; i < wanted; ++i) {
        workers.push_back(std::make_unique<Worker>());
        workers.back()->block = allocateCopyBuffer(blockSize);
        if (!workers.back()->block) return -1;
    }

    auto work = [&](Worker& w) {
        for (;;) {
            Job job;
            {
                std::unique_lock<std::mutex> hold(shared.lock);
                shared.toWorkers.wait(hold, [&] { return shared.stop || w.job; });
                if (shared.stop) return;
                job = std::move(*w.job);
                w.job.reset();
            }
            Outcome out;
            out.size = job.plan.size;
            try {
                std::unique_ptr<FileStream> input = files_.open(options_.inputPath, ReadExisting);
                if (!input) {
                    out.error = "cannot open the input file";
                } else if (!input->seek(job.plan.start)) {
                    out.error = "cannot read the input file";
                } else {
                    StreamCipher cipher;
                    cipher.setKey(password, job.plan.keyHeader->bytes.data(), ArchiveHeader::kSize);
                    out.error = writeVolume(*job.out, job.plan.path, *input, job.plan.size, job.plan.info,
                                            job.plan.placeholder, &cipher, w.block.get(), blockSize, out.crc,
                                            [&](uint32_t k) {
                                                {
                                                    std::lock_guard<std::mutex> hold(shared.lock);
                                                    shared.moved += k;
                                                    if (shared.stop || job.index > shared.limit) throw Abandoned();
                                                }
                                                shared.toCaller.notify_one();
                                            });
                }
                out.kind = out.error.empty() ? Kind::Done : Kind::Failed;
            } catch (const Abandoned&) {
            } catch (...) {
                out.kind = Kind::Thrown;
                out.thrown = std::current_exception();
            }
            job.out.reset();
            {
                std::lock_guard<std::mutex> hold(shared.lock);
                if (out.kind != Kind::Pending) {
                    if (out.kind != Kind::Done && job.index < shared.limit) shared.limit = job.index;
                    shared.outcomes[job.index] = std::move(out);
                }
                w.busy = false;
            }
            shared.toCaller.notify_one();
            shared.toWorkers.notify_all();  // a lower limit lets the later volumes go
        }
    };

    // However this ends, every worker is stopped and gone (its files closed) before
    // write() removes what it made.
    WorkerThreads<Shared, Worker> threads(shared, workers);
    if (threads.start(work) == 0) return -1;

    const Crc32 crc32;
    uint32_t next = 0;     // the next volume to hand out
    uint32_t settled = 0;  // the volumes before it are written
    uint64_t reported = 0;
    for (;;) {
        enum class Action { Progress, Settle, HandOut } action;
        Worker* idle = nullptr;
        uint64_t moved = 0;
        {
            std::unique_lock<std::mutex> hold(shared.lock);
            for (;;) {
                moved = shared.moved;
                if (moved != reported) {
                    action = Action::Progress;
                    break;
                }
                if (shared.outcomes[settled].kind != Kind::Pending) {
                    action = Action::Settle;
                    break;
                }
                if (next < count && next < shared.limit) {
                    for (auto& w : workers)
                        if (!w->busy) idle = w.get();
                    if (idle) {
                        action = Action::HandOut;
                        idle->busy = true;
                        break;
                    }
                }
                shared.toCaller.wait(hold);
            }
        }
        switch (action) {
        case Action::Progress:
            reported = moved;
            if (options_.progress) options_.progress(reported, fileSize);
            break;
        case Action::Settle: {
            Outcome& out = shared.outcomes[settled];  // no worker changes it any more
            if (out.kind == Kind::Done) {
                fileCrc = crc32.combine(fileCrc, 0, out.crc, out.size);
                if (++settled == count) return 1;
                break;
            }
            threads.stopAll();
            if (out.kind == Kind::Thrown) std::rethrow_exception(out.thrown);
            return fail(out.error);
        }
        case Action::HandOut: {
            VolumePlan plan = planOf(next);
            volumePaths_.push_back(plan.path);
            std::unique_ptr<FileStream> out = create(plan.path);
            {
                std::lock_guard<std::mutex> hold(shared.lock);
                if (out) {
                    idle->job = Job{next, std::move(plan), std::move(out)};
                } else {
                    idle->busy = false;
                    shared.outcomes[next].kind = Kind::Failed;
                    shared.outcomes[next].error = "cannot create " + volumePaths_.back();
                    if (next < shared.limit) shared.limit = next;
                }
                ++next;
            }
            shared.toWorkers.notify_all();
            break;
        }
        }
    }
}

} // namespace zrk
