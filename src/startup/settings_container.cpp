// The "ZRKS" settings container: reading it at start-up and writing it when a payload is built.
#include "startup/settings_container.h"

#include "chunk/chunk_stream.h"
#include "chunk/chunk_tags.h"
#include "chunk/locate_chunk.h"
#include "stream/byte_order.h"
#include "stream/file_stream.h"
#include "stream/stream.h"

namespace zrk {
namespace {

// Reads the 45 strings of the table leaf. Strings are kept inside the leaf's
// dataSize, so a short table never picks up bytes of the chunk that follows it.
MessageTable readTable(Stream& stream, const ChunkStream& leaf) {
    MessageTable table;
    if (!stream.seek(leaf.dataPosition())) return table;
    uint64_t remaining = leaf.dataSize();
    for (size_t i = 0; i < kMessageCount; ++i) {
        if (remaining < 4) break;
        uint64_t start = stream.tell();
        unsigned char prefix[4];
        if (start == Stream::kNoPosition || stream.read(prefix, 4) != 4) break;
        uint32_t length = loadLe32(prefix);
        if (length > remaining - 4 || !stream.seek(start)) break;
        table[i] = stream.readString();
        if (table[i].size() != length) {
            table[i].clear();
            break;
        }
        // The next entry is placed from the lengths, not from where the last read
        // left off: a failed read of an empty text looks like success but moves nothing.
        if (!stream.seek(start + 4 + uint64_t(length))) break;
        remaining -= 4 + uint64_t(length);
    }
    return table;
}

} // namespace

int readSettingsContainer(Stream& stream, uint64_t position, uint64_t length,
                          PayloadSettings& settings, MessageTable& table) {
    ChunkStream root;
    root.attach(stream, position, length);
    ChunkStream* container = root.child(tags::kSettings);
    ChunkStream* info = container ? container->child(tags::kInfo) : nullptr;
    if (!info) return 0;
    // A leaf shorter than the record does not hold it, whatever bytes follow.
    if (info->dataSize() < PayloadSettings::kSize) return 0;
    unsigned char record[PayloadSettings::kSize];
    if (!stream.seek(info->dataPosition())) return 0;
    if (stream.read(record, PayloadSettings::kSize) != int32_t(PayloadSettings::kSize)) return 0;
    ChunkStream* data = container->child(tags::kData);
    if (!data) return 0;
    MessageTable loaded = readTable(stream, *data);
    settings = PayloadSettings::fromBytes(record);
    table = std::move(loaded);
    return 1;
}

int loadSettingsFromFile(const std::string& path, PayloadSettings& settings, MessageTable& table) {
    uint64_t position = locateChunk(path, tags::kSettings);
    if (position == kChunkNotFound) return 0;
    FileStream file;
    if (!file.openRead(path)) return 0;
    uint64_t size = file.size();
    if (position >= size) return 0;
    int ok = readSettingsContainer(file, position, size - position, settings, table);
    file.close();
    return ok;
}

int writeSettingsContainer(ChunkStream& root, Stream& stream, const PayloadSettings& settings,
                           const MessageTable& table) {
    // Each child is reached right after it was added, from the list searched first.
    if (!root.addChild(tags::kSettings)) return 0;
    ChunkStream& container = *root.child(tags::kSettings);

    if (!container.addChild(tags::kInfo)) return 0;
    ChunkStream& info = *container.child(tags::kInfo);
    unsigned char record[PayloadSettings::kStoredLeafSize] = {};
    settings.toBytes(record);
    if (!stream.seek(info.dataPosition()) || !info.writeData(record, sizeof record) ||
        !info.finishData() || !info.writeHeader())
        return 0;

    if (!container.addChild(tags::kData)) return 0;
    ChunkStream& data = *container.child(tags::kData);
    if (!stream.seek(data.dataPosition())) return 0;
    for (size_t i = 0; i < kMessageCount; ++i) {
        const std::string& text = table[i];
        if (text.size() > UINT32_MAX) return 0;
        unsigned char prefix[4];
        storeLe32(prefix, uint32_t(text.size()));
        if (!data.writeData(prefix, 4)) return 0;
        // No transfer for an empty text: a failed write of nothing would go unnoticed.
        if (!text.empty() && !data.writeData(text.data(), text.size())) return 0;
    }
    if (!data.finishData() || !data.writeHeader()) return 0;

    return container.updateFromChildren() && container.writeHeader() ? 1 : 0;
}

int writeSettingsContainer(Stream& stream, uint64_t position, const PayloadSettings& settings,
                           const MessageTable& table) {
    ChunkStream root;
    root.attach(stream, position, 0);
    return writeSettingsContainer(root, stream, settings, table);
}

} // namespace zrk
