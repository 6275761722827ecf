// Test-only scratch files in the system temporary folder, named in the system's
// backslash form so FileStream and locateChunk can open them on both platforms.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace zrk::testing {

class TempFile {
public:
    explicit TempFile(const std::string& name) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        host_ = std::filesystem::temp_directory_path() /
                (std::string("zrk_") + info->test_suite_name() + "_" + info->name() + "_" + name);
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(host_, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    void write(const std::vector<unsigned char>& bytes) const {
        std::ofstream out(host_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        ASSERT_TRUE(out.good());
    }
    std::vector<unsigned char> read() const {
        std::ifstream in(host_, std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
    }

    // The path with backslash separators: "C:\...\x" under Windows, "\tmp\x" on POSIX.
    std::string path() const {
        std::string p = host_.string();
        for (char& c : p)
            if (c == '/') c = '\\';
        return p;
    }

private:
    std::filesystem::path host_;
};

} // namespace zrk::testing
