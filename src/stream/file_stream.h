// A Stream over one operating-system file handle, with open modes, size and whole-file load.
#pragma once

#include <cstdint>
#include <string>

#include "stream/stream.h"

namespace zrk {

enum OpenMode : uint32_t {
    ReadExisting = 0,
    WriteExisting = 1,
    ReadWriteExisting = 2,
    CreateWrite = 3,       // replaces (truncates) an existing file
    CreateReadWrite = 4,   // replaces (truncates) an existing file
};

class FileStream : public Stream {
public:
    // The system's handle as an integer (a HANDLE on Windows, a descriptor elsewhere);
    // all bits set when closed.
    using Handle = uintptr_t;
    static constexpr Handle kInvalidHandle = ~Handle(0);

    FileStream() = default;
    ~FileStream() override;

    // One system call each. A read of 0 bytes that succeeds sets the end flag.
    int32_t read(void* buffer, uint32_t count) override;
    int32_t write(const void* buffer, uint32_t count) override;
    // Positions past the end are accepted.
    int seek(uint64_t position) override;
    uint64_t tell() override;

    virtual std::string path() const;
    // open(stored path, mode); 0 without touching the system when no path was stored.
    virtual int reopen(uint32_t mode);
    virtual int openRead(const std::string& path);
    // Resolves `path` against the base folder; the file is shared for reading only.
    // Stores path and mode even when it fails. A handle still open is closed first.
    virtual int open(const std::string& path, uint32_t mode);
    // 1 when the file closed cleanly (or none was open); 0 when the system reported an
    // error, such as data it could not write out. The handle is gone either way.
    virtual int close();
    // Opens for reading and reads the whole file into the loaded buffer; the file stays open.
    virtual int loadWhole(const std::string& path);
    virtual Handle handle() const;
    // Asks the system again unless opened ReadExisting, which keeps the size found at open.
    virtual uint64_t size();
    virtual const unsigned char* loadedBuffer() const;
    virtual void release();

    // Sets the open file's last-write time from a Windows FILETIME value (100 ns units
    // since 1601-01-01 UTC). 1 on success, 0 on failure.
    virtual int setLastWriteTime(uint64_t fileTime);

private:
    std::string path_;
    Handle handle_ = kInvalidHandle;
    uint64_t size_ = 0;
    unsigned char* loaded_ = nullptr;
    uint32_t mode_ = ReadExisting;
};

} // namespace zrk
