#include "KeyBroadcaster.h"

#include "HotKeyBackend.h"
#include "KeyCodeMap.h"
#include "NotificationCenter.h"

#include <QKeyEvent>

#include <X11/keysym.h>

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

// Events made without a native key (synthetic ones, offscreen) still name their Qt key.
quint32 keysymForQtKey(int key) {
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return quint32(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F20)
        return XK_F1 + quint32(key - Qt::Key_F1);
    static constexpr std::pair<int, quint32> named[] = {
        {Qt::Key_Left, XK_Left},
        {Qt::Key_Right, XK_Right},
        {Qt::Key_Up, XK_Up},
        {Qt::Key_Down, XK_Down},
        {Qt::Key_Return, XK_Return},
        {Qt::Key_Enter, XK_KP_Enter},
        {Qt::Key_Tab, XK_Tab},
        {Qt::Key_Backtab, XK_Tab},
        {Qt::Key_Space, XK_space},
        {Qt::Key_Escape, XK_Escape},
        {Qt::Key_Backspace, XK_BackSpace},
        {Qt::Key_Delete, XK_Delete},
        {Qt::Key_Home, XK_Home},
        {Qt::Key_End, XK_End},
        {Qt::Key_PageUp, XK_Prior},
        {Qt::Key_PageDown, XK_Next},
        // Shifted punctuation, by the key it lies on in the US layout.
        {Qt::Key_Exclam, XK_1},
        {Qt::Key_At, XK_2},
        {Qt::Key_NumberSign, XK_3},
        {Qt::Key_Dollar, XK_4},
        {Qt::Key_Percent, XK_5},
        {Qt::Key_AsciiCircum, XK_6},
        {Qt::Key_Ampersand, XK_7},
        {Qt::Key_Asterisk, XK_8},
        {Qt::Key_ParenLeft, XK_9},
        {Qt::Key_ParenRight, XK_0},
        {Qt::Key_Underscore, XK_minus},
        {Qt::Key_Plus, XK_equal},
        {Qt::Key_BraceLeft, XK_bracketleft},
        {Qt::Key_BraceRight, XK_bracketright},
        {Qt::Key_Bar, XK_backslash},
        {Qt::Key_Colon, XK_semicolon},
        {Qt::Key_QuoteDbl, XK_apostrophe},
        {Qt::Key_Less, XK_comma},
        {Qt::Key_Greater, XK_period},
        {Qt::Key_Question, XK_slash},
        {Qt::Key_AsciiTilde, XK_grave},
    };
    for (const auto& [qtKey, keysym] : named) {
        if (qtKey == key)
            return keysym;
    }
    // Unshifted punctuation: Qt's key is the character, as is the keysym below 0x7f.
    return key > 0x20 && key < 0x7f ? quint32(key) : 0;
}

KeyBroadcaster::BaseKeysymLookup& baseKeysymLookup() {
    static KeyBroadcaster::BaseKeysymLookup lookup = baseKeysym;
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
    baseKeysymLookup() = lookup ? std::move(lookup) : BaseKeysymLookup(baseKeysym);
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
    // Claiming the shortcut offer keeps menu shortcuts and button mnemonics from firing, and
    // taking the press here keeps Tab and Backtab from moving the focus.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    }
    return QPushButton::event(event);
}

void KeyBroadcaster::keyPressEvent(QKeyEvent* event) {
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
