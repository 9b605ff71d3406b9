#include "KeyBroadcaster.h"

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
        {Qt::Key_Return, XKB_KEY_Return},
        {Qt::Key_Enter, XKB_KEY_KP_Enter},
        {Qt::Key_Tab, XKB_KEY_Tab},
        {Qt::Key_Backtab, XKB_KEY_Tab},
        {Qt::Key_Space, XKB_KEY_space},
        {Qt::Key_Escape, XKB_KEY_Escape},
        {Qt::Key_Backspace, XKB_KEY_BackSpace},
        {Qt::Key_Delete, XKB_KEY_Delete},
        {Qt::Key_Home, XKB_KEY_Home},
        {Qt::Key_End, XKB_KEY_End},
        {Qt::Key_PageUp, XKB_KEY_Prior},
        {Qt::Key_PageDown, XKB_KEY_Next},
    };
    for (const auto& [qtKey, keysym] : named) {
        if (qtKey == key)
            return keysym;
    }
    return 0;
}

qint32 keyCodeFor(const QKeyEvent& event) {
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
