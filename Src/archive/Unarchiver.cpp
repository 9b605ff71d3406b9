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

// A class record: its name and version, and the row of its superclass's record.
struct ClassRecord {
    QByteArray name;
    qint64 version = 0;
    qsizetype superclass = -1;
    QList<ArchiveClass> chain; // filled when an object first uses this class
};

// One row of the objects table: an object or a class record, in the order they were started.
// Kept small, as a list has a row for every string in it.
struct Entry {
    ArchiveObjectRef object;
    qsizetype classRecord = -1; // for a class record, its place in ReadState::classes
    bool complete = false;
};

struct ReadState {
    QByteArrayView data;
    qsizetype pos = 0;
    std::vector<QByteArray> sharedStrings;
    std::vector<Entry> objects;
    std::vector<ClassRecord> classes;
    // The values of every object still being read, innermost last: each object's own list is
    // then made once, at its final size.
    std::vector<ArchiveValue> values;
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

// A shared string, new or repeated: its place in the table.
std::optional<qsizetype> readSharedString(ReadState& state) {
    if (peekByte(state) != kNew)
        return readReference(state, qsizetype(state.sharedStrings.size()));
    ++state.pos;
    const auto length = readInteger(state);
    const auto bytes = length ? readBytes(state, *length) : std::nullopt;
    if (!bytes)
        return std::nullopt;
    state.sharedStrings.push_back(bytes->toByteArray());
    return qsizetype(state.sharedStrings.size() - 1);
}

// A reference to a class record whose chain has been read to its end.
std::optional<qsizetype> readClassReference(ReadState& state) {
    const auto index = readReference(state, qsizetype(state.objects.size()));
    if (!index || state.objects[*index].classRecord < 0 || !state.objects[*index].complete)
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
        state.objects.push_back(Entry{{}, qsizetype(state.classes.size()), false});
        const auto name = readSharedString(state);
        const auto version = name ? readInteger(state) : std::nullopt;
        if (!version)
            return std::nullopt;
        if (previous >= 0)
            state.classes[previous].superclass = index;
        previous = qsizetype(state.classes.size());
        state.classes.push_back({state.sharedStrings[*name], *version, -1, {}});
    }
    if (peekByte(state) == kNil) {
        ++state.pos;
    } else {
        const auto superclass = readClassReference(state);
        if (!superclass)
            return std::nullopt;
        state.classes[previous].superclass = *superclass;
    }
    for (auto it = state.objects.begin() + first; it != state.objects.end(); ++it)
        it->complete = true;
    return first;
}

std::optional<QList<ArchiveClass>> classChain(ReadState& state, qsizetype index) {
    ClassRecord& head = state.classes[state.objects[index].classRecord];
    if (!head.chain.isEmpty())
        return head.chain;
    QList<ArchiveClass> chain;
    for (qsizetype at = index; at >= 0;) {
        if (chain.size() >= kMaxDepth || --state.chainBudget < 0)
            return std::nullopt;
        const ClassRecord& record = state.classes[state.objects[at].classRecord];
        chain.append({record.name, record.version});
        at = record.superclass;
    }
    head.chain = chain;
    return chain;
}

std::optional<ArchiveObjectRef> readObject(ReadState& state);

bool readValue(ReadState& state, char type) {
    switch (type) {
    case '@': {
        auto object = readObject(state);
        if (!object)
            return false;
        state.values.push_back(ArchiveValue::ofObject(std::move(*object)));
        return true;
    }
    case '+': {
        const auto count = readInteger(state);
        const auto bytes = count ? readBytes(state, *count) : std::nullopt;
        if (!bytes)
            return false;
        state.values.push_back(ArchiveValue::ofBytes(bytes->toByteArray()));
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
        state.values.push_back(ArchiveValue::ofInteger(type, *integer));
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
    auto chain = classIndex ? classChain(state, *classIndex) : std::nullopt;
    if (!chain)
        return std::nullopt;
    const size_t firstValue = state.values.size();
    while (peekByte(state) != kEnd) {
        const auto types = readSharedString(state);
        if (!types || state.sharedStrings[*types].isEmpty())
            return std::nullopt;
        // By place, as reading a value may add to the table.
        for (qsizetype at = 0; at < state.sharedStrings[*types].size(); ++at) {
            if (!readValue(state, state.sharedStrings[*types][at]))
                return std::nullopt;
        }
    }
    ++state.pos;
    auto object = std::make_shared<ArchiveObject>();
    object->classChain = std::move(*chain);
    object->values.reserve(qsizetype(state.values.size() - firstValue));
    for (auto value = state.values.begin() + firstValue; value != state.values.end(); ++value)
        object->values.append(std::move(*value));
    state.values.resize(firstValue);
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
        if (!index || state.objects[*index].classRecord >= 0 || !state.objects[*index].complete)
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
    if (!readInteger(state))
        return nullptr;
    const auto rootType = readSharedString(state);
    if (!rootType || state.sharedStrings[*rootType] != "@")
        return nullptr;
    const auto root = readObject(state);
    return root ? *root : nullptr;
}
