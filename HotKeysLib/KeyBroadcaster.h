#pragma once

#include <QPushButton>
#include <QString>

#include <cstdint>
#include <functional>

// Name of the notification a KeyBroadcaster posts for each key press it catches.
extern const QString KeyBraodcasterKeyEvent;

// A button that never acts on keys itself: every key press with the focus on it becomes a
// KeyBraodcasterKeyEvent notification carrying the stored key code and the hot key modifier
// bits, so that shortcuts can be captured too; Escape, Return and Tab are left to the panel.
class KeyBroadcaster : public QPushButton {
    Q_OBJECT
public:
    explicit KeyBroadcaster(QWidget* parent = nullptr);

    static qint32 cocoaToCarbonModifiers(Qt::KeyboardModifiers modifiers);

    // Where a key's first-level keysym comes from: the session's keyboard map, or a test's.
    using BaseKeysymLookup =
        std::function<std::uint32_t(std::uint32_t nativeScanCode, std::uint32_t nativeModifiers)>;
    static void setBaseKeysymLookup(BaseKeysymLookup lookup);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void _broadcastKeyCode(qint16 keyCode, qint32 modifiers);
};
