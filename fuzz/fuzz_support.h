// Shared by the fuzz targets: a scratch folder per process (the archive code reads
// files by path) and the framing that packs several files into one fuzz input.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace zrk::fuzz {

// Removed at exit, so repeated runs do not fill the temporary folder.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zrk_fuzz_XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        host_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(host_, ignored);
    }
    std::filesystem::path host(const std::string& name) const { return host_ / name; }
    // Backslash form, as the archive code takes paths.
    std::string path(const std::string& name = "") const {
        std::string p = host_.string();
        if (!name.empty()) p += "/" + name;
        for (char& c : p)
            if (c == '/') c = '\\';
        return p;
    }
    void write(const std::string& name, const uint8_t* bytes, size_t size) const {
        std::ofstream out(host(name), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes), std::streamsize(size));
        if (!out.good()) std::abort();
    }
    void clear() const {
        for (const auto& entry : std::filesystem::directory_iterator(host_)) std::filesystem::remove_all(entry.path());
    }

private:
    std::filesystem::path host_;
};

// Files packed one after another as a 4-byte little-endian length and the bytes;
// a length running past the end takes what is left.
inline std::vector<std::vector<uint8_t>> unpackFiles(const uint8_t* data, size_t size, size_t maxFiles) {
    std::vector<std::vector<uint8_t>> files;
    size_t at = 0;
    while (at + 4 <= size && files.size() < maxFiles) {
        uint32_t length = uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16 |
                          uint32_t(data[at + 3]) << 24;
        at += 4;
        const size_t n = length < size - at ? length : size - at;
        files.emplace_back(data + at, data + at + n);
        at += n;
    }
    return files;
}

inline uint64_t fileSizeOf(const std::filesystem::path& path) {
    std::error_code error;
    const auto n = std::filesystem::file_size(path, error);
    return error ? ~uint64_t(0) : uint64_t(n);
}

inline void packFile(std::vector<uint8_t>& out, const std::vector<uint8_t>& file) {
    const uint32_t n = uint32_t(file.size());
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(n >> (8 * i)));
    out.insert(out.end(), file.begin(), file.end());
}

} // namespace zrk::fuzz
