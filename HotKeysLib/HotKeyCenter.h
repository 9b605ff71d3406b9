#pragma once

#include "HotKeyService.h"
#include "KeyCombo.h"

#include <QEvent>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <stdexcept>

// A parameter or record the center cannot work with; the message is the failed condition's
// description.
class HotKeyAssertion : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// One named registration.
struct HotKeyData {
    bool mRegistered = false;
    quintptr mRef = 0;
    KeyComboRef mCombo;
    QObject* mTarget = nullptr;
    const char* mAction = nullptr; // a slot taking one QObject* (the center)
    quint32 mId = 0;
    QString mName;
    bool mOn = true;             // turned off, a record keeps its combination for turning on
    bool mHeldElsewhere = false; // why its last registration was refused
};

// What a hot key does now; the center tells it in words (keyStateText).
enum class HotKeyState { working, waiting, turnedOff, heldElsewhere, notApproved, refused };

// Named system-wide hot keys. A press invokes the action on the target with the center as its
// argument.
class HotKeyCenter : public QObject, public HotKeyReceiver {
    Q_OBJECT
public:
    static constexpr quint32 signature = 0x484B7943; // 'HKyC'
    static constexpr qint32 noError = 0;
    static constexpr qint32 eventParameterNotFound = -9870;

    // The service must outlive the center; the shared center uses the one set with useService.
    explicit HotKeyCenter(HotKeyService& service, QObject* parent = nullptr);
    ~HotKeyCenter() override;

    // Takes effect when the shared center is made; without one it refuses every combination.
    static void useService(HotKeyService* service);
    static HotKeyCenter& sharedCenter();
    // The shared center if it was made already; never makes it.
    static HotKeyCenter* existingSharedCenter();

    // The action is the bare name of a slot taking one QObject*, e.g. "hotKeyDown"; a press
    // invokes it directly with the center as the argument. False when the desktop refused the
    // combination; the name stays registered all the same.
    bool addHotKey(const QString& name, const KeyComboRef& combo, QObject* target,
                   const char* action);
    void removeHotKey(const QString& name);
    QStringList allNames() const;
    KeyComboRef keyComboForName(const QString& name) const;
    void setEnabled(bool enabled);
    bool enabled() const { return mEnabled; }

    // Where the desktop assigns the keys (the portal), what it says triggers the named hot key;
    // empty elsewhere, while it has not said, or while the hot key is not bound.
    bool desktopAssignsKeys() const { return service.desktopAssignsKeys(); }
    QString desktopTrigger(const QString& name) const;
    bool canConfigureDesktopKeys() const { return service.canConfigureKeys(); }
    std::uint32_t baseKeysym(std::uint32_t nativeScanCode, std::uint32_t nativeModifiers) const {
        return service.baseKeysym(nativeScanCode, nativeModifiers);
    }
    // Whether another program holds the combination; false where the desktop cannot tell.
    bool heldElsewhere(const KeyCombo& combo) const {
        return combo.isValid() && service.heldElsewhere(combo.keyCode(), combo.modifiers());
    }
    // Asks the desktop to let the person change the keys; false (and logged) when it cannot be
    // asked.
    bool configureDesktopKeys();
    // Lets go of the named hot key, or takes it again, keeping its combination.
    void setHotKeyOn(const QString& name, bool on);

    HotKeyState keyState(const QString& name) const;
    // The key as the person presses it: the desktop's trigger where it gave one, else the
    // combination in Linux words; empty for a name the center does not know.
    QString keyText(const QString& name) const;
    // "Super+Alt+F11: working", "...: turned off", "...: refused: held by another program"...;
    // empty for a name the center does not know.
    QString keyStateText(const QString& name) const;
    // The named keys' states on one line, and where to change keys the desktop did not approve
    // when it cannot be asked.
    QString keyStatesText(const QStringList& names) const;

    // While set, presses are not taken as hot keys (a new combination is being captured).
    static void setIgnoreEvents(bool ignore);
    static bool ignoreEvents();

    // Delivery with the identity: called by the backend.
    bool acceptsHotKeys() const override { return !ignoreEvents(); }
    qint32 handleHotKeyEvent(const HotKeyEvent& event) override;
    void hotKeySettled(quintptr ref, bool bound) override;
    void hotKeyActivationToken(const QString& token) override { emit activationTokenGiven(token); }

    bool _systemSupportsHotKeys() const;
    bool _registerHotKeyIfNeeded(HotKeyData* hk);
    void _unregisterHotKeyIfNeeded(HotKeyData* hk);
    void _hotKeyDown(HotKeyData* hk);
    void _hotKeyUp(HotKeyData* hk);

signals:
    // A registration the desktop answered late or whose trigger it changed; a refused one is no
    // longer registered.
    void hotKeyBindingSettled(const QString& name, bool bound);
    // A press comes with the desktop's leave to bring a window forward; emitted before it.
    void activationTokenGiven(const QString& token);
    // What keyStateText tells of the named key changed.
    void keyStateChanged(const QString& name);
    // The person pressed the named hot key; emitted after its action.
    void hotKeyFired(const QString& name);

private:
    void removeRecord(const QString& name);
    // Emits keyStateChanged for every key whose words are no longer those last told.
    void tellStateChanges();

    HotKeyService& service;
    bool mEnabled = true;
    QHash<QString, QString> toldStates;
    QHash<QString, std::shared_ptr<HotKeyData>> mHotKeys;
    QHash<quint32, HotKeyData*> byId; // a press's id is looked up, never trusted
    quint32 lastId = 0;

public:
    // Kept for callers of the library's interface; nothing in Skerrin calls these.
    // The second delivery path, by handle: SBApplication hands every event to sendEvent, which
    // acts only on a SystemDefinedEvent (below) where the backend delivers no identity; no
    // backend of Skerrin's posts one.
    void sendEvent(const QEvent* event);
    void _hotKeyDownWithRef(quintptr ref);
    void _hotKeyUpWithRef(quintptr ref);
    HotKeyData* _findHotKeyWithRef(quintptr ref) const;
};

// Of the same path: a press or release delivered as an application event carrying the
// registration's handle.
class SystemDefinedEvent : public QEvent {
public:
    static constexpr int systemDefinedType = 14;
    static constexpr int hotKeyPressed = 6;
    static constexpr int hotKeyReleased = 9;
    static QEvent::Type eventType();

    SystemDefinedEvent(int type, int subtype, quintptr data1)
        : QEvent(eventType())
        , type_(type)
        , subtype_(subtype)
        , data1_(data1) {}
    int type() const { return type_; }
    int subtype() const { return subtype_; }
    quintptr data1() const { return data1_; }

private:
    int type_;
    int subtype_;
    quintptr data1_;
};
