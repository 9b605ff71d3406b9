#include "ArchiveObject.h"

#include <QStringDecoder>

#include <algorithm>

ArchiveValue ArchiveValue::ofObject(ArchiveObjectRef object) {
    ArchiveValue value;
    value.type = '@';
    value.object = std::move(object);
    return value;
}

ArchiveValue ArchiveValue::ofInteger(char type, qint64 integer) {
    ArchiveValue value;
    value.type = type;
    value.integer = integer;
    return value;
}

ArchiveValue ArchiveValue::ofBytes(QByteArray bytes) {
    ArchiveValue value;
    value.type = '+';
    value.bytes = std::move(bytes);
    return value;
}

const QByteArray& ArchiveObject::className() const {
    static const QByteArray none;
    return classChain.isEmpty() ? none : classChain.first().name;
}

ArchiveObjectRef ArchiveObject::string(const QString& text) {
    // Every string shares one chain: a list of a thousand sites makes thousands of strings.
    static const QList<ArchiveClass> chain = {{"NSString", 1}, {"NSObject", 0}};
    auto object = std::make_shared<ArchiveObject>();
    object->classChain = chain;
    object->values.append(ArchiveValue::ofBytes(text.toUtf8()));
    return object;
}

ArchiveObjectRef ArchiveObject::array(const QList<ArchiveObjectRef>& elements) {
    static const QList<ArchiveClass> chain = {
        {"NSMutableArray", 0}, {"NSArray", 0}, {"NSObject", 0}};
    auto object = std::make_shared<ArchiveObject>();
    object->classChain = chain;
    object->values.reserve(elements.size() + 1);
    object->values.append(ArchiveValue::ofInteger('i', elements.size()));
    for (const ArchiveObjectRef& element : elements)
        object->values.append(ArchiveValue::ofObject(element));
    return object;
}

std::optional<QString> ArchiveObject::toString() const {
    const QByteArray& name = className();
    if (name != "NSString" && name != "NSMutableString")
        return std::nullopt;
    if (values.size() != 1 || values.first().type != '+')
        return std::nullopt;
    const QByteArray& bytes = values.first().bytes;
    // Plain ASCII, by far the most common, is valid UTF-8 that reads the same as Latin-1.
    if (!bytes.isEmpty() &&
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return quint8(c) < 0x80; }))
        return QString::fromLatin1(bytes);
    // A leading U+FEFF is part of the text, not a byte order mark to drop; stateless so that a
    // sequence cut short at the end counts as an error.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom |
                                                     QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QList<ArchiveObjectRef>> ArchiveObject::toArray() const {
    const QByteArray& name = className();
    if (name != "NSArray" && name != "NSMutableArray")
        return std::nullopt;
    if (values.isEmpty() || values.first().type != 'i' ||
        values.first().integer != values.size() - 1)
        return std::nullopt;
    QList<ArchiveObjectRef> elements;
    elements.reserve(values.size() - 1);
    for (qsizetype i = 1; i < values.size(); ++i) {
        if (values.at(i).type != '@' || !values.at(i).object)
            return std::nullopt;
        elements.append(values.at(i).object);
    }
    return elements;
}
