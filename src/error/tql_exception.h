// Exception types of the in-house library: the reportable TqlException with its two
// archive-copy failures, and the chunk lookup failure that is not a TqlException.
#pragma once

#include <cstdint>
#include <string>

namespace zrk {

// A plain value: thrown by value, caught by reference, no virtual operations.
class TqlException {
public:
    TqlException() = default;
    TqlException(int32_t kind, int32_t code, std::string message)
        : kind_(kind), code_(code), message_(std::move(message)) {}

    int32_t kind() const { return kind_; }
    int32_t code() const { return code_; }
    std::string message() const { return message_; }

private:
    int32_t kind_ = 0;  // 0: the library's own TQLERR_ codes; anything else: a foreign code
    int32_t code_ = 0;
    std::string message_;
};

// A volume cannot be positioned at its start, or delivers fewer bytes than asked.
class TqlZRKAFileReadError : public TqlException {};

// The output file stores fewer bytes than it was given.
class TqlZRKAFileWriteError : public TqlException {};

// A container chunk has no child with the asked-for tag. Deliberately unrelated to
// TqlException: handlers treat it as "absent", not as an error to report.
class TqlSChunkError {};

} // namespace zrk
