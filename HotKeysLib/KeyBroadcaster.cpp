#include "KeyBroadcaster.h"

#include "HotKeyCenter.h"
#include "KeyCodeMap.h"
#include "NotificationCenter.h"

#include <QKeyEvent>

#include <xkbcommon/xkbcommon-keysyms.h>

#include <array>
#include <utility>

const QString KeyBraodcasterKeyEvent = QStringLiteral("KeyBraodcasterKeyEvent");

namespace {

struct ModifierRow {
    Qt::KeyboardModifier eventFlag;
    qint32 hotKeyBit;
};

// Qt reports Super as Meta on X11; Super is the Command key here.
constexpr std::array<ModifierRow, 4> cocoaToCarbon = {{
    {Qt::MetaModifier, 0x0100},
    {Qt::AltModifier, 0x0800},
    {Qt::ControlModifier, 0x1000},
    {Qt::ShiftModifier, 0x0200},
}};

bool isModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
        return true;
    default:
        return false;
    }
}

bool isPanelKey(int key) {
    return key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter ||
           key == Qt::Key_Tab || key == Qt::Key_Backtab;
}

// Events made without a native key (synthetic ones, offscreen) still name their Qt key.
quint32 keysymForQtKey(int key) {
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return quint32(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F20)
        return XKB_KEY_F1 + quint32(key - Qt::Key_F1);
    static constexpr std::pair<int, quint32> named[] = {
        {Qt::Key_Left, XKB_KEY_Left},
        {Qt::Key_Right, XKB_KEY_Right},
        {Qt::Key_Up, XKB_KEY_Up},
        {Qt::Key_Down, XKB_KEY_Down},
        {Qt::Key_Space, XKB_KEY_space},
        {Qt::Key_Backspace, XKB_KEY_BackSpace},
        {Qt::Key_Delete, XKB_KEY_Delete},
        {Qt::Key_Home, XKB_KEY_Home},
        {Qt::Key_End, XKB_KEY_End},
        {Qt::Key_PageUp, XKB_KEY_Prior},
        {Qt::Key_PageDown, XKB_KEY_Next},
        // Shifted punctuation, by the key it lies on in the US layout.
        {Qt::Key_Exclam, XKB_KEY_1},
        {Qt::Key_At, XKB_KEY_2},
        {Qt::Key_NumberSign, XKB_KEY_3},
        {Qt::Key_Dollar, XKB_KEY_4},
        {Qt::Key_Percent, XKB_KEY_5},
        {Qt::Key_AsciiCircum, XKB_KEY_6},
        {Qt::Key_Ampersand, XKB_KEY_7},
        {Qt::Key_Asterisk, XKB_KEY_8},
        {Qt::Key_ParenLeft, XKB_KEY_9},
        {Qt::Key_ParenRight, XKB_KEY_0},
        {Qt::Key_Underscore, XKB_KEY_minus},
        {Qt::Key_Plus, XKB_KEY_equal},
        {Qt::Key_BraceLeft, XKB_KEY_bracketleft},
        {Qt::Key_BraceRight, XKB_KEY_bracketright},
        {Qt::Key_Bar, XKB_KEY_backslash},
        {Qt::Key_Colon, XKB_KEY_semicolon},
        {Qt::Key_QuoteDbl, XKB_KEY_apostrophe},
        {Qt::Key_Less, XKB_KEY_comma},
        {Qt::Key_Greater, XKB_KEY_period},
        {Qt::Key_Question, XKB_KEY_slash},
        {Qt::Key_AsciiTilde, XKB_KEY_grave},
    };
    for (const auto& [qtKey, keysym] : named) {
        if (qtKey == key)
            return keysym;
    }
    // Unshifted punctuation: Qt's key is the character, as is the keysym below 0x7f.
    return key > 0x20 && key < 0x7f ? quint32(key) : 0;
}

// The session's own keyboard map, as the hot key service reads it.
std::uint32_t sessionBaseKeysym(std::uint32_t nativeScanCode, std::uint32_t nativeModifiers) {
    const HotKeyCenter* center = HotKeyCenter::existingSharedCenter();
    return center ? center->baseKeysym(nativeScanCode, nativeModifiers) : 0;
}

KeyBroadcaster::BaseKeysymLookup& baseKeysymLookup() {
    static KeyBroadcaster::BaseKeysymLookup lookup = sessionBaseKeysym;
    return lookup;
}

// By the key's first level in the group in use: Shift+1, Shift+comma and AltGr keys are the
// keys 1, comma and the key under AltGr, not the characters they type.
qint32 keyCodeFor(const QKeyEvent& event) {
    if (event.nativeScanCode() != 0) {
        const quint32 base = baseKeysymLookup()(event.nativeScanCode(), event.nativeModifiers());
        const qint32 keyCode = base ? KeyCodeMap::keyCodeForKeysym(base) : -1;
        if (keyCode >= 0)
            return keyCode;
    }
    const qint32 keyCode = KeyCodeMap::keyCodeForKeysym(event.nativeVirtualKey());
    if (keyCode >= 0)
        return keyCode;
    const quint32 keysym = keysymForQtKey(event.key());
    return keysym ? KeyCodeMap::keyCodeForKeysym(keysym) : -1;
}

} // namespace

KeyBroadcaster::KeyBroadcaster(QWidget* parent)
    : QPushButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    // Return must reach us as a key, not press the panel's default button.
    setAutoDefault(false);
}

void KeyBroadcaster::setBaseKeysymLookup(BaseKeysymLookup lookup) {
    baseKeysymLookup() = lookup ? std::move(lookup) : BaseKeysymLookup(sessionBaseKeysym);
}

qint32 KeyBroadcaster::cocoaToCarbonModifiers(Qt::KeyboardModifiers modifiers) {
    qint32 hotKeyModifiers = 0;
    for (const ModifierRow& row : cocoaToCarbon) {
        if (modifiers & row.eventFlag)
            hotKeyModifiers += row.hotKeyBit;
    }
    return hotKeyModifiers;
}

bool KeyBroadcaster::event(QEvent* event) {
    // Claiming the shortcut offer keeps menu shortcuts and button mnemonics from firing.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return QPushButton::event(event);
}

void KeyBroadcaster::keyPressEvent(QKeyEvent* event) {
    // Escape, Return and Tab work the panel (cancel, OK, next button); they are never a hot key.
    if (isPanelKey(event->key())) {
        QPushButton::keyPressEvent(event);
        return;
    }
    event->accept();
    if (isModifierKey(event->key()))
        return;
    const qint32 keyCode = keyCodeFor(*event);
    if (keyCode < 0)
        return;
    _broadcastKeyCode(qint16(keyCode), cocoaToCarbonModifiers(event->modifiers()));
}

void KeyBroadcaster::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
}

void KeyBroadcaster::_broadcastKeyCode(qint16 keyCode, qint32 modifiers) {
    const QVariantMap userInfo{{QStringLiteral("KeyCode"), QVariant::fromValue(keyCode)},
                               {QStringLiteral("Modifiers"), QVariant::fromValue(modifiers)}};
    NotificationCenter::defaultCenter().postNotificationName(KeyBraodcasterKeyEvent, this,
                                                             userInfo);
}
