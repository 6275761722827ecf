// Status codes the archive operations hand to their status callback; the combine
// job turns them into messages. Some exist only for the message table's sake.
#pragma once

#include <cstdint>

namespace zrk {

inline constexpr uint32_t ARCNOTE_ENCRYPTED_ARCHIVE = 0x04280400;
inline constexpr uint32_t ARCNOTE_ENCRYPTED = 0x04280800;
inline constexpr uint32_t ARCERR_OPEN = 0x0C100800;
inline constexpr uint32_t ARCERR_READ = 0x0C180800;
inline constexpr uint32_t ARCERR_WRITE = 0x0C1C0800;
inline constexpr uint32_t ARCERR_CREATE_FOLDER = 0x0C200C00;
inline constexpr uint32_t ARCERR_CREATE = 0x0C200800;
inline constexpr uint32_t ARCERR_NOT_FOUND = 0x0C240800;
inline constexpr uint32_t ARCERR_KEY_ARCHIVE = 0x0C280400;
inline constexpr uint32_t ARCERR_KEY = 0x0C280800;
inline constexpr uint32_t ARCERR_CRC = 0x0C2C0800;
inline constexpr uint32_t ARCERR_FORMAT_ARCHIVE = 0x0C800400;
inline constexpr uint32_t ARCERR_FORMAT = 0x0C800800;
inline constexpr uint32_t ARCERR_VERSION = 0x0C840400;
inline constexpr uint32_t ARCERR_BROKEN = 0x0C880800;
inline constexpr uint32_t ARCERR_ABNORMAL = 0x0C8C0400;

} // namespace zrk
