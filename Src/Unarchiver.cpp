#include "Unarchiver.h"

#include <QtEndian>

#include <vector>

namespace {

constexpr quint8 kInt16 = 0x81;
constexpr quint8 kInt32 = 0x82;
constexpr quint8 kNew = 0x84;
constexpr quint8 kNil = 0x85;
constexpr quint8 kEnd = 0x86;
constexpr quint8 kLastTag = 0x91;
constexpr qint64 kReferenceBias = 110;
// Far beyond any real list; keeps the stack and the class chains small on hostile input.
constexpr int kMaxDepth = 200;

// One row of the objects table: an object or a class record, in the order they were started.
struct Entry {
    bool isClass = false;
    bool complete = false;
    ArchiveObjectRef object;
    QByteArray className;
    qint64 version = 0;
    qsizetype superclass = -1;
    QList<ArchiveClass> chain; // filled when an object first uses this class
};

struct ReadState {
    QByteArrayView data;
    qsizetype pos = 0;
    std::vector<QByteArray> sharedStrings;
    std::vector<Entry> objects;
    int depth = 0;
    // Class chain rows handed out so far may not outgrow the input, however the records nest.
    qsizetype chainBudget = 0;
};

qsizetype remaining(const ReadState& state) {
    return state.data.size() - state.pos;
}

std::optional<quint8> peekByte(const ReadState& state) {
    if (remaining(state) < 1)
        return std::nullopt;
    return quint8(state.data[state.pos]);
}

std::optional<QByteArrayView> readBytes(ReadState& state, qint64 count) {
    if (count < 0 || count > remaining(state))
        return std::nullopt;
    const QByteArrayView bytes = state.data.sliced(state.pos, count);
    state.pos += count;
    return bytes;
}

std::optional<qint64> readInteger(ReadState& state) {
    const auto first = peekByte(state);
    if (!first)
        return std::nullopt;
    ++state.pos;
    if (*first == kInt16 || *first == kInt32) {
        const auto bytes = readBytes(state, *first == kInt16 ? 2 : 4);
        if (!bytes)
            return std::nullopt;
        if (*first == kInt16)
            return qFromLittleEndian<qint16>(bytes->data());
        return qFromLittleEndian<qint32>(bytes->data());
    }
    if (*first >= 0x80 && *first <= kLastTag)
        return std::nullopt;
    return qint8(*first);
}

std::optional<qsizetype> readReference(ReadState& state, qsizetype tableSize) {
    const auto value = readInteger(state);
    if (!value)
        return std::nullopt;
    const qint64 index = *value + kReferenceBias;
    if (index < 0 || index >= tableSize)
        return std::nullopt;
    return qsizetype(index);
}

std::optional<QByteArray> readSharedString(ReadState& state) {
    if (peekByte(state) != kNew) {
        const auto index = readReference(state, qsizetype(state.sharedStrings.size()));
        if (!index)
            return std::nullopt;
        return state.sharedStrings[*index];
    }
    ++state.pos;
    const auto length = readInteger(state);
    if (!length)
        return std::nullopt;
    const auto bytes = readBytes(state, *length);
    if (!bytes)
        return std::nullopt;
    state.sharedStrings.push_back(bytes->toByteArray());
    return state.sharedStrings.back();
}

// A reference to a class record whose chain has been read to its end.
std::optional<qsizetype> readClassReference(ReadState& state) {
    const auto index = readReference(state, qsizetype(state.objects.size()));
    if (!index || !state.objects[*index].isClass || !state.objects[*index].complete)
        return std::nullopt;
    return index;
}

// The class record of a new object: either a reference or new records down to the root class.
std::optional<qsizetype> readClassRecord(ReadState& state) {
    if (peekByte(state) != kNew)
        return readClassReference(state);
    const qsizetype first = qsizetype(state.objects.size());
    qsizetype previous = -1;
    while (peekByte(state) == kNew) {
        ++state.pos;
        const qsizetype index = qsizetype(state.objects.size());
        state.objects.push_back(Entry{});
        state.objects[index].isClass = true;
        const auto name = readSharedString(state);
        const auto version = name ? readInteger(state) : std::nullopt;
        if (!version)
            return std::nullopt;
        state.objects[index].className = *name;
        state.objects[index].version = *version;
        if (previous >= 0)
            state.objects[previous].superclass = index;
        previous = index;
    }
    if (peekByte(state) == kNil) {
        ++state.pos;
    } else {
        const auto superclass = readClassReference(state);
        if (!superclass)
            return std::nullopt;
        state.objects[previous].superclass = *superclass;
    }
    for (auto it = state.objects.begin() + first; it != state.objects.end(); ++it)
        it->complete = true;
    return first;
}

std::optional<QList<ArchiveClass>> classChain(ReadState& state, qsizetype index) {
    Entry& entry = state.objects[index];
    if (!entry.chain.isEmpty())
        return entry.chain;
    QList<ArchiveClass> chain;
    for (qsizetype at = index; at >= 0; at = state.objects[at].superclass) {
        if (chain.size() >= kMaxDepth || --state.chainBudget < 0)
            return std::nullopt;
        chain.append({state.objects[at].className, state.objects[at].version});
    }
    entry.chain = chain;
    return chain;
}

std::optional<ArchiveObjectRef> readObject(ReadState& state);

bool readValue(ReadState& state, char type, QList<ArchiveValue>& values) {
    switch (type) {
    case '@': {
        auto object = readObject(state);
        if (!object)
            return false;
        values.append(ArchiveValue::ofObject(std::move(*object)));
        return true;
    }
    case '+': {
        const auto count = readInteger(state);
        const auto bytes = count ? readBytes(state, *count) : std::nullopt;
        if (!bytes)
            return false;
        values.append(ArchiveValue::ofBytes(bytes->toByteArray()));
        return true;
    }
    case 'c':
    case 'C':
    case 's':
    case 'S':
    case 'i':
    case 'I':
    case 'l':
    case 'L':
    case 'q':
    case 'Q': {
        const auto integer = readInteger(state);
        if (!integer)
            return false;
        values.append(ArchiveValue::ofInteger(type, *integer));
        return true;
    }
    default:
        return false;
    }
}

std::optional<ArchiveObjectRef> readNewObject(ReadState& state) {
    const qsizetype index = qsizetype(state.objects.size());
    state.objects.push_back(Entry{});
    const auto classIndex = readClassRecord(state);
    const auto chain = classIndex ? classChain(state, *classIndex) : std::nullopt;
    if (!chain)
        return std::nullopt;
    auto object = std::make_shared<ArchiveObject>();
    object->classChain = *chain;
    while (peekByte(state) != kEnd) {
        const auto types = readSharedString(state);
        if (!types || types->isEmpty())
            return std::nullopt;
        for (const char type : *types) {
            if (!readValue(state, type, object->values))
                return std::nullopt;
        }
    }
    ++state.pos;
    state.objects[index].object = object;
    state.objects[index].complete = true;
    return object;
}

// An object value: nil, a reference to an object read to its end, or a new object.
std::optional<ArchiveObjectRef> readObject(ReadState& state) {
    const auto first = peekByte(state);
    if (first == kNil) {
        ++state.pos;
        return ArchiveObjectRef();
    }
    if (first != kNew) {
        const auto index = readReference(state, qsizetype(state.objects.size()));
        if (!index || state.objects[*index].isClass || !state.objects[*index].complete)
            return std::nullopt;
        return state.objects[*index].object;
    }
    ++state.pos;
    if (state.depth >= kMaxDepth)
        return std::nullopt;
    ++state.depth;
    auto object = readNewObject(state);
    --state.depth;
    return object;
}

} // namespace

ArchiveObjectRef Unarchiver::unarchiveObjectWithData(QByteArrayView data) {
    static constexpr QByteArrayView kHeader("\x04\x0bstreamtyped", 13);
    if (!data.startsWith(kHeader))
        return nullptr;
    ReadState state;
    state.data = data;
    state.pos = kHeader.size();
    state.chainBudget = data.size();
    if (!readInteger(state) || readSharedString(state) != "@")
        return nullptr;
    const auto root = readObject(state);
    return root ? *root : nullptr;
}
