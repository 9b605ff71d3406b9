#include "KeyCombo.h"

#include "Archiver.h"
#include "Unarchiver.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <plist/plist.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iterator>
#include <optional>

namespace {

struct ModifierGlyph {
    qint32 modifier;
    char16_t glyph;
};

// Always shown in this order, whatever order the keys were pressed in.
constexpr std::array<ModifierGlyph, 4> modToChar = {{
    {HotKeyModifier::Command, u'\u2318'},
    {HotKeyModifier::Option, u'\u2325'},
    {HotKeyModifier::Control, u'^'},
    {HotKeyModifier::Shift, u'\u21E7'},
}};

struct ModifierWord {
    qint32 modifier;
    const char* word;
};

constexpr std::array<ModifierWord, 4> linuxModifierWords = {{
    {HotKeyModifier::Command, "Super"},
    {HotKeyModifier::Control, "Ctrl"},
    {HotKeyModifier::Option, "Alt"},
    {HotKeyModifier::Shift, "Shift"},
}};

// Keys whose name in the key-name table is a Mac one: the names of the same keys on a PC.
constexpr std::pair<qint16, const char*> linuxKeyNames[] = {
    {51, "Backspace"}, {54, "Right Super"}, {55, "Super"},      {58, "Alt"},
    {59, "Ctrl"},      {61, "Right Alt"},   {62, "Right Ctrl"}, {71, "Num Lock"},
    {102, "Eisu"},     {104, "Kana"},       {114, "Insert"},    {117, "Delete"},
    {123, "Left"},     {124, "Right"},      {125, "Down"},      {126, "Up"},
};

std::optional<QHash<QString, QString>> loadKeyCodes() {
    QFile file(QStringLiteral(":/KeyCodes.plist"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = file.readAll();
    plist_t root = nullptr;
    plist_from_xml(text.constData(), uint32_t(text.size()), &root);
    if (!root)
        return std::nullopt;
    std::optional<QHash<QString, QString>> names;
    if (plist_get_node_type(root) == PLIST_DICT) {
        names.emplace();
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(root, &iter);
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(root, iter, &key, &value);
            if (!value) {
                std::free(key);
                break;
            }
            if (plist_get_node_type(value) == PLIST_STRING) {
                uint64_t length = 0;
                const char* name = plist_get_string_ptr(value, &length);
                names->insert(QString::fromUtf8(key), QString::fromUtf8(name, qsizetype(length)));
            }
            std::free(key);
        }
        std::free(iter);
    }
    plist_free(root);
    return names;
}

bool holdsKeyCombo(const ArchiveObject& coded) {
    const bool isKeyCombo =
        std::any_of(coded.classChain.cbegin(), coded.classChain.cend(),
                    [](const ArchiveClass& archived) { return archived.name == "KeyCombo"; });
    return isKeyCombo && coded.values.size() >= 2 && coded.values[0].type == 's' &&
           coded.values[1].type == 'l';
}

} // namespace

KeyComboRef KeyCombo::keyCombo() {
    return std::make_shared<const KeyCombo>(Token{}, -1, -1);
}

KeyComboRef KeyCombo::clearKeyCombo() {
    return keyComboWithKeyCode(-1, -1);
}

KeyComboRef KeyCombo::keyComboWithKeyCode(qint16 keyCode, qint32 modifiers) {
    return std::make_shared<const KeyCombo>(Token{}, keyCode, modifiers);
}

const QHash<QString, QString>* KeyCombo::keyCodesDictionary() {
    // Kept once loaded; a failed load is tried again on the next lookup.
    static std::optional<QHash<QString, QString>> keyCodes;
    if (!keyCodes)
        keyCodes = loadKeyCodes();
    return keyCodes ? &*keyCodes : nullptr;
}

QString KeyCombo::_stringForModifiers(qint32 modifiers) {
    QString text;
    for (const ModifierGlyph& row : modToChar) {
        if (modifiers & row.modifier)
            text.append(QChar(row.glyph));
    }
    return text;
}

QString KeyCombo::_stringForKeyCode(qint16 keyCode) {
    if (const auto* keyCodes = keyCodesDictionary()) {
        const auto name = keyCodes->constFind(QString::number(keyCode));
        if (name != keyCodes->cend())
            return *name;
    }
    return QString::asprintf("%X", static_cast<unsigned>(keyCode));
}

QString KeyCombo::userDisplayRep() const {
    if (!isValid())
        return QCoreApplication::translate("KeyCombo", "(None)");
    return _stringForModifiers(mModifiers) + _stringForKeyCode(mKeyCode);
}

QString KeyCombo::linuxDisplayText() const {
    if (!isValid())
        return QCoreApplication::translate("KeyCombo", "(None)");
    QStringList words;
    for (const ModifierWord& row : linuxModifierWords) {
        if (mModifiers & row.modifier)
            words.append(QLatin1String(row.word));
    }
    const auto* linuxName =
        std::find_if(std::begin(linuxKeyNames), std::end(linuxKeyNames),
                     [this](const auto& entry) { return entry.first == mKeyCode; });
    words.append(linuxName != std::end(linuxKeyNames) ? QLatin1String(linuxName->second)
                                                      : _stringForKeyCode(mKeyCode));
    return words.join('+');
}

bool KeyCombo::isEqual(const KeyCombo* other) const {
    return other && keyCode() == other->keyCode() && modifiers() == other->modifiers();
}

ArchiveObjectRef KeyCombo::encodeWithCoder() const {
    auto object = std::make_shared<ArchiveObject>();
    object->classChain = {{"KeyCombo", 0}, {"NSObject", 0}};
    object->values = {ArchiveValue::ofInteger('s', mKeyCode),
                      ArchiveValue::ofInteger('l', mModifiers)};
    return object;
}

KeyComboRef KeyCombo::initWithCoder(const ArchiveObject& coded) {
    if (!holdsKeyCombo(coded))
        return nullptr;
    return keyComboWithKeyCode(qint16(coded.values[0].integer), qint32(coded.values[1].integer));
}

QVariant storedKeyCombo(const KeyComboRef& combo) {
    if (!combo)
        return QVariant();
    return Archiver::archivedDataWithRootObject(combo->encodeWithCoder());
}

KeyComboRef keyComboFromStored(const QVariant& stored) {
    if (stored.typeId() == QMetaType::QByteArray) {
        if (const ArchiveObjectRef coded =
                Unarchiver::unarchiveObjectWithData(stored.toByteArray()))
            if (KeyComboRef combo = KeyCombo::initWithCoder(*coded))
                return combo;
    }
    return KeyCombo::keyCombo();
}
