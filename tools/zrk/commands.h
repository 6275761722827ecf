// The four commands of the tool. Each returns the exit code and throws ToolError with
// a one-line reason that names the file concerned.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "stub_search.h"

namespace zrk::tool {

struct ToolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// At most one of the three is set; a password never comes from the command line itself.
struct KeyOptions {
    bool prompt = false;
    std::string passwordFile;
    std::string keyFile;
    bool given() const { return prompt || !passwordFile.empty() || !keyFile.empty(); }
};

// Volume numbers have at most six digits in the names the writer gives.
constexpr uint32_t kMostVolumes = 999999;
// More volumes than this from -s is most likely a mistaken size; split wants --force.
constexpr uint64_t kVolumesWithoutForce = 10000;

struct SplitRequest {
    std::string input;
    uint64_t volumeSize = 0;
    uint32_t volumeCount = 0;
    std::string outputFolder;  // empty: the input's folder
    KeyOptions key;
    std::string stub;  // empty: searched for (stub_search.h)
    StubArch arch = StubArch::X86;  // which program the search looks for
    bool english = false;
    bool force = false;  // replace existing archive files; more than kVolumesWithoutForce volumes
};

struct JoinRequest {
    std::string executable;
    std::string outputFolder;  // empty: the executable's folder
    KeyOptions key;
    bool force = false;
};

struct InspectRequest {
    std::string path;
    KeyOptions key;
};

int runSplit(const SplitRequest& request);
int runJoin(const JoinRequest& request);
int runInfo(const InspectRequest& request);
int runVerify(const InspectRequest& request);

// A path as given on the command line, made absolute in the core's backslash form,
// and back to the form the user's system shows.
std::string corePath(const std::string& userPath);
std::string shownPath(const std::string& core);

} // namespace zrk::tool
