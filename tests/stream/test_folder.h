// A scratch folder beside the test program, in the system's own path form, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "stream/file_stream.h"
#include "stream/paths.h"

namespace zrk::test {

// The host library's form of one of our backslash paths (for setting up and cleaning up).
inline std::filesystem::path hostPath(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

class ScratchFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = joinPath(moduleFolder(), std::string("scratch_") + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(hostPath(folder_));
        std::filesystem::create_directories(hostPath(folder_));
        setBaseFolder(folder_);
    }
    void TearDown() override {
        setBaseFolder("");
        std::error_code ignored;
        std::filesystem::remove_all(hostPath(folder_), ignored);
    }

    std::string at(const std::string& name) const { return joinPath(folder_, name); }

    void writeFile(const std::string& name, const std::string& bytes) {
        FileStream f;
        ASSERT_EQ(f.open(at(name), CreateWrite), 1) << name;
        if (!bytes.empty()) {
            ASSERT_EQ(f.write(bytes.data(), uint32_t(bytes.size())), int32_t(bytes.size()));
        }
    }

    std::string folder_;
};

} // namespace zrk::test
