#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

// The in-memory form of one object of the sequential archive: its class chain and the values
// its coder wrote, each with its type character. Writing and reading both go through it.
struct ArchiveObject;
using ArchiveObjectRef = std::shared_ptr<const ArchiveObject>;

struct ArchiveClass {
    QByteArray name;
    qint64 version = 0;
};

struct ArchiveValue {
    char type = '@';         // '@' object, 's' 16-bit, 'l' 32-bit, 'i' int, '+' counted bytes
    qint64 integer = 0;      // for 's', 'l', 'i'
    QByteArray bytes;        // for '+'
    ArchiveObjectRef object; // for '@'; null is nil

    static ArchiveValue ofObject(ArchiveObjectRef object);
    static ArchiveValue ofInteger(char type, qint64 value);
    static ArchiveValue ofBytes(QByteArray bytes);
};

struct ArchiveObject {
    QList<ArchiveClass> classChain; // most derived first, the root class last
    QList<ArchiveValue> values;

    // The most derived class's name; empty when the object has no class.
    const QByteArray& className() const;

    // "NSString" (version 1) under "NSObject", holding the UTF-8 bytes.
    static ArchiveObjectRef string(const QString& text);
    // "NSMutableArray" under "NSArray" under "NSObject", holding the count then the elements.
    static ArchiveObjectRef array(const QList<ArchiveObjectRef>& elements);

    // The text of a string object; nothing when this is not a well-formed string object
    // (another class, another shape, bytes that are not UTF-8).
    std::optional<QString> toString() const;
    // The elements of an array object; nothing when this is not a well-formed array object.
    std::optional<QList<ArchiveObjectRef>> toArray() const;
};
