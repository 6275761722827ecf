// Test-only scratch folders and archive builders shared by the archive suites.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "archive/split_archive.h"

namespace zrk::testing {

// A fresh folder per test in the system temporary folder, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    // Backslash form of a path inside the folder, as the archive code takes it.
    std::string path(const std::string& name = "") const;
    std::filesystem::path host(const std::string& name) const { return host_ / std::filesystem::u8path(name); }
    void write(const std::string& name, const std::vector<unsigned char>& bytes) const;
    std::vector<unsigned char> read(const std::string& name) const;

private:
    std::filesystem::path host_;
};

std::vector<unsigned char> patternBytes(size_t size, uint32_t seed);

// Records every status report of an archive.
struct StatusLog {
    std::vector<std::pair<uint32_t, std::string>> reports;
    void attach(SplitArchive& archive);
    size_t count(uint32_t code) const;
};

// Writes input `name` with `bytes` into `source`, then the archive into `out`.
ArchiveWriterOptions writerOptions(const ScratchFolder& source, const ScratchFolder& out, const std::string& name,
                                   const std::vector<unsigned char>& bytes);

} // namespace zrk::testing
