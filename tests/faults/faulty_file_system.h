// A file system that fails one chosen call: the Nth call of any kind, counted over
// its own calls and those of every file it opened. Counting runs with failAt 0.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stream/file_system.h"
#include "stream/paths.h"

namespace zrk::testing {

class FaultyFileSystem : public FileSystem {
public:
    explicit FaultyFileSystem(uint64_t failAt) : failAt_(failAt) {}
    uint64_t calls() const { return calls_; }
    // Counts one call; true when it is the one to fail.
    bool fails() { return ++calls_ == failAt_; }

    std::unique_ptr<FileStream> open(const std::string& path, uint32_t mode) override;
    uint32_t listFiles(const std::string& folder, const std::string& pattern, std::vector<FileEntry>& entries) override {
        return fails() ? 0 : FileSystem::listFiles(folder, pattern, entries);
    }
    int replaceFile(const std::string& from, const std::string& to) override {
        return fails() ? 0 : FileSystem::replaceFile(from, to);
    }
    uint32_t getAttributes(const std::string& path) override {
        return fails() ? kNoAttributes : FileSystem::getAttributes(path);
    }
    int setAttributes(const std::string& path, uint32_t attributes) override {
        return fails() ? 0 : FileSystem::setAttributes(path, attributes);
    }
    int removeFile(const std::string& path) override { return fails() ? 0 : FileSystem::removeFile(path); }
    std::string zoneMark(const std::string& path) override { return fails() ? std::string() : FileSystem::zoneMark(path); }
    int setZoneMark(const std::string& path, const std::string& mark) override {
        return fails() ? 0 : FileSystem::setZoneMark(path, mark);
    }

private:
    const uint64_t failAt_;
    std::atomic<uint64_t> calls_{0};  // the combine reads ahead on a second thread
};

// A real file whose every operation is first counted by its file system.
class FaultyFile : public FileStream {
public:
    FaultyFile(FaultyFileSystem& files, uint32_t mode) : files_(files), mode_(mode) {}
    int32_t read(void* buffer, uint32_t count) override { return files_.fails() ? 0 : FileStream::read(buffer, count); }
    int32_t write(const void* buffer, uint32_t count) override {
        return files_.fails() ? 0 : FileStream::write(buffer, count);
    }
    int seek(uint64_t position) override { return files_.fails() ? 0 : FileStream::seek(position); }
    uint64_t tell() override { return files_.fails() ? kNoPosition : FileStream::tell(); }
    // A file opened for reading keeps the size found at open: only the others ask again.
    uint64_t size() override { return mode_ != ReadExisting && files_.fails() ? 0 : FileStream::size(); }
    int setLastWriteTime(uint64_t fileTime) override {
        return files_.fails() ? 0 : FileStream::setLastWriteTime(fileTime);
    }
    // A failing close still lets the handle go, as the system does.
    int close() override {
        const bool failed = files_.fails();
        return FileStream::close() && !failed ? 1 : 0;
    }

private:
    FaultyFileSystem& files_;
    const uint32_t mode_;
};

inline std::unique_ptr<FileStream> FaultyFileSystem::open(const std::string& path, uint32_t mode) {
    if (fails()) return nullptr;
    auto file = std::make_unique<FaultyFile>(*this, mode);
    if (!file->FileStream::open(path, mode)) return nullptr;
    return file;
}

} // namespace zrk::testing
