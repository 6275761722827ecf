// Scratch folders and archive builders for the archive suites.
#include "archive_test_support.h"

#include <fstream>
#include <random>

namespace zrk::testing {

ScratchFolder::ScratchFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    static int serial = 0;
    host_ = std::filesystem::temp_directory_path() /
            (std::string("zrk_archive_") + info->test_suite_name() + "_" + info->name() + "_" + std::to_string(++serial));
    std::filesystem::remove_all(host_);
    std::filesystem::create_directories(host_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(host_, ignored);
}

std::string ScratchFolder::path(const std::string& name) const {
    std::string p = host_.string();
    if (!name.empty()) p += "/" + name;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

void ScratchFolder::write(const std::string& name, const std::vector<unsigned char>& bytes) const {
    std::ofstream out(host(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good());
}

std::vector<unsigned char> ScratchFolder::read(const std::string& name) const {
    std::ifstream in(host(name), std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

std::vector<unsigned char> patternBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<unsigned char> bytes(size);
    for (auto& b : bytes) b = static_cast<unsigned char>(random());
    return bytes;
}

void StatusLog::attach(SplitArchive& archive) {
    archive.setStatusCallback([this](uint32_t code, const std::string& detail, SplitArchive&) {
        reports.emplace_back(code, detail);
        return 0;
    });
}

size_t StatusLog::count(uint32_t code) const {
    size_t n = 0;
    for (const auto& r : reports) n += r.first == code;
    return n;
}

ArchiveWriterOptions writerOptions(const ScratchFolder& source, const ScratchFolder& out, const std::string& name,
                                   const std::vector<unsigned char>& bytes) {
    source.write(name, bytes);
    source.write("stub.bin", std::vector<unsigned char>(300, 0xCC));
    ArchiveWriterOptions options;
    options.inputPath = source.path(name);
    options.stubPath = source.path("stub.bin");
    options.outputFolder = out.path();
    options.outputName = "archive";
    options.bufferSize = 64;
    return options;
}

} // namespace zrk::testing
