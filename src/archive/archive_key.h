// The key an archive is opened with: none, a password, or a key file (whose SHA-512
// in hexadecimal serves as the password). The secret is wiped when the value goes.
#pragma once

#include <string>
#include <utility>

#include "archive/archive_records.h"

namespace zrk {

class Key {
public:
    enum class Kind { None, Password, KeyFile };

    Key() = default;
    static Key password(std::string text) { return Key(Kind::Password, std::move(text)); }
    static Key keyFile(std::string path) { return Key(Kind::KeyFile, std::move(path)); }
    Key(const Key& other) : kind_(other.kind_), value_(other.value_) {}
    Key& operator=(const Key& other) {
        if (this != &other) {
            wipeString(value_);
            kind_ = other.kind_;
            value_ = other.value_;
        }
        return *this;
    }
    ~Key() { wipeString(value_); }

    Kind kind() const { return kind_; }
    // The password, or the key file's path; empty for no key.
    const std::string& value() const { return value_; }
    bool given() const { return kind_ != Kind::None; }

private:
    Key(Kind kind, std::string value) : kind_(kind), value_(std::move(value)) {}

    Kind kind_ = Kind::None;
    std::string value_;
};

} // namespace zrk
