#include "Archiver.h"

#include <QHash>
#include <QtEndian>

namespace {

constexpr char kNew = char(0x84);
constexpr char kNil = char(0x85);
constexpr char kEnd = char(0x86);
constexpr qint64 kReferenceBias = 110;

struct WriteState {
    QByteArray out;
    QHash<QByteArray, qint64> sharedStrings;
    QHash<const ArchiveObject*, qint64> objects;
    QHash<QByteArray, qint64> classes;
    qint64 nextObject = 0;
};

template <typename T> void appendLittleEndian(QByteArray& out, T value) {
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

// The format has no integer wider than 32 bits, so wider values keep their low 32 bits.
void writeInteger(WriteState& state, qint64 value) {
    if (value >= -kReferenceBias && value <= 127) {
        state.out.append(char(value));
    } else if (value >= INT16_MIN && value <= INT16_MAX) {
        state.out.append(char(0x81));
        appendLittleEndian(state.out, qint16(value));
    } else {
        state.out.append(char(0x82));
        appendLittleEndian(state.out, qint32(value));
    }
}

void writeReference(WriteState& state, qint64 index) {
    writeInteger(state, index - kReferenceBias);
}

void writeSharedString(WriteState& state, const QByteArray& text) {
    const auto found = state.sharedStrings.constFind(text);
    if (found != state.sharedStrings.cend()) {
        writeReference(state, *found);
        return;
    }
    state.sharedStrings.insert(text, state.sharedStrings.size());
    state.out.append(kNew);
    writeInteger(state, text.size());
    state.out.append(text);
}

void writeClassChain(WriteState& state, const QList<ArchiveClass>& chain) {
    for (const ArchiveClass& archiveClass : chain) {
        const auto found = state.classes.constFind(archiveClass.name);
        if (found != state.classes.cend()) {
            writeReference(state, *found);
            return;
        }
        state.classes.insert(archiveClass.name, state.nextObject++);
        state.out.append(kNew);
        writeSharedString(state, archiveClass.name);
        writeInteger(state, archiveClass.version);
    }
    state.out.append(kNil);
}

void writeObject(WriteState& state, const ArchiveObject* object);

void writeValue(WriteState& state, const ArchiveValue& value) {
    writeSharedString(state, QByteArray(1, value.type));
    if (value.type == '@') {
        writeObject(state, value.object.get());
    } else if (value.type == '+') {
        writeInteger(state, value.bytes.size());
        state.out.append(value.bytes);
    } else {
        writeInteger(state, value.integer);
    }
}

void writeObject(WriteState& state, const ArchiveObject* object) {
    if (!object) {
        state.out.append(kNil);
        return;
    }
    const auto found = state.objects.constFind(object);
    if (found != state.objects.cend()) {
        writeReference(state, *found);
        return;
    }
    // Registered before its contents, as the object's index comes before its class record's.
    state.objects.insert(object, state.nextObject++);
    state.out.append(kNew);
    writeClassChain(state, object->classChain);
    for (const ArchiveValue& value : object->values)
        writeValue(state, value);
    state.out.append(kEnd);
}

} // namespace

QByteArray Archiver::archivedDataWithRootObject(const ArchiveObjectRef& root) {
    WriteState state;
    state.out.append("\x04\x0bstreamtyped", 13);
    writeInteger(state, 1000);
    writeValue(state, ArchiveValue::ofObject(root));
    return state.out;
}
