// The system calls behind FileStream, one backend per platform (file_stream_win32.cpp,
// file_stream_posix.cpp). Handles are FileStream::Handle values; failures are false.
#pragma once

#include <cstdint>
#include <string>

#include "stream/file_stream.h"

namespace zrk::file_backend {

using Handle = FileStream::Handle;

// `mode` is one of the five OpenMode values; `absolutePath` is already resolved.
Handle openFile(const std::string& absolutePath, uint32_t mode);
// False when the system reports that data could not be written out.
bool closeFile(Handle handle);
bool readFile(Handle handle, void* buffer, uint32_t count, uint32_t& done);
bool writeFile(Handle handle, const void* buffer, uint32_t count, uint32_t& done);
bool seekFile(Handle handle, uint64_t position);
bool tellFile(Handle handle, uint64_t& position);
bool fileSize(Handle handle, uint64_t& size);
bool setLastWriteTime(Handle handle, uint64_t fileTime);

} // namespace zrk::file_backend
