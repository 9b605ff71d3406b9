#include "Archiver.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr char kNew = char(0x84);
constexpr char kNil = char(0x85);
constexpr char kEnd = char(0x86);
constexpr qint64 kReferenceBias = 110;

struct WriteState {
    // The archive so far, and how much of it is written. Filled through a pointer, where
    // QByteArray's own append would call into Qt for every byte, and handed back uncopied.
    QByteArray out;
    qsizetype written = 0;
    // The index + 1 of each shared string written so far, 0 for none yet. Type strings are
    // single characters, found by their byte; longer ones (class names) by their text.
    std::array<qint64, 256> characterStrings{};
    QHash<QByteArray, qint64> longerStrings;
    qint64 sharedStrings = 0;
    // Class names already written, with their record's index. Archives hold a handful of
    // classes, so a scan beats hashing every object's class name.
    std::vector<std::pair<QByteArray, qint64>> classes;
    QHash<const ArchiveObject*, qint64> sharedObjects;
    qint64 nextObject = 0;
};

// Room for `count` more bytes at the end of the archive.
char* extend(WriteState& state, qsizetype count) {
    if (state.written + count > state.out.size())
        state.out.resize(std::max(2 * state.out.size(), state.written + count + 256));
    char* at = state.out.data() + state.written;
    state.written += count;
    return at;
}

void writeByte(WriteState& state, char byte) {
    *extend(state, 1) = byte;
}

void writeRaw(WriteState& state, const char* bytes, qsizetype count) {
    if (count > 0)
        std::memcpy(extend(state, count), bytes, size_t(count));
}

template <typename T> void writeLittleEndian(WriteState& state, T value) {
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    writeRaw(state, bytes, sizeof(T));
}

// The format has no integer wider than 32 bits, so wider values keep their low 32 bits.
void writeInteger(WriteState& state, qint64 value) {
    if (value >= -kReferenceBias && value <= 127) {
        writeByte(state, char(value));
    } else if (value >= INT16_MIN && value <= INT16_MAX) {
        writeByte(state, char(0x81));
        writeLittleEndian(state, qint16(value));
    } else {
        writeByte(state, char(0x82));
        writeLittleEndian(state, qint32(value));
    }
}

void writeReference(WriteState& state, qint64 index) {
    writeInteger(state, index - kReferenceBias);
}

void writeBytes(WriteState& state, QByteArrayView bytes) {
    writeInteger(state, bytes.size());
    writeRaw(state, bytes.data(), bytes.size());
}

void writeSharedString(WriteState& state, QByteArrayView text) {
    qint64& slot = text.size() == 1 ? state.characterStrings[quint8(text.front())]
                                    : state.longerStrings[text.toByteArray()];
    if (slot > 0) {
        writeReference(state, slot - 1);
        return;
    }
    slot = ++state.sharedStrings;
    writeByte(state, kNew);
    writeBytes(state, text);
}

void writeClassChain(WriteState& state, const QList<ArchiveClass>& chain) {
    for (const ArchiveClass& archiveClass : chain) {
        for (const auto& [name, index] : state.classes) {
            if (name == archiveClass.name) {
                writeReference(state, index);
                return;
            }
        }
        state.classes.emplace_back(archiveClass.name, state.nextObject++);
        writeByte(state, kNew);
        writeSharedString(state, archiveClass.name);
        writeInteger(state, archiveClass.version);
    }
    writeByte(state, kNil);
}

void writeObject(WriteState& state, const ArchiveObjectRef& object);

void writeValue(WriteState& state, const ArchiveValue& value) {
    writeSharedString(state, QByteArrayView(&value.type, 1));
    if (value.type == '@')
        writeObject(state, value.object);
    else if (value.type == '+')
        writeBytes(state, value.bytes);
    else
        writeInteger(state, value.integer);
}

void writeObject(WriteState& state, const ArchiveObjectRef& object) {
    if (!object) {
        writeByte(state, kNil);
        return;
    }
    // Only an object that more than one value holds can come round again; remembering just
    // those keeps a list of fresh objects from filling a table it never looks anything up in.
    if (object.use_count() > 1) {
        const auto found = state.sharedObjects.constFind(object.get());
        if (found != state.sharedObjects.cend()) {
            writeReference(state, *found);
            return;
        }
        state.sharedObjects.insert(object.get(), state.nextObject);
    }
    // The object's index comes before its class record's.
    ++state.nextObject;
    writeByte(state, kNew);
    writeClassChain(state, object->classChain);
    for (const ArchiveValue& value : object->values)
        writeValue(state, value);
    writeByte(state, kEnd);
}

} // namespace

QByteArray Archiver::archivedDataWithRootObject(const ArchiveObjectRef& root) {
    WriteState state;
    writeRaw(state, "\x04\x0bstreamtyped", 13);
    writeInteger(state, 1000);
    writeValue(state, ArchiveValue::ofObject(root));
    state.out.truncate(state.written);
    return std::move(state.out);
}
