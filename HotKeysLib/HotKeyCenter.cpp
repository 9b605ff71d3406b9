#include "HotKeyCenter.h"

#include "HotKeysLog.h"
#include "NoHotKeyService.h"

#include <QMetaObject>

#include <string>

namespace {

HotKeyService* chosenService = nullptr;
// Made on first use and kept to the end of the process, so it never outlives its service's
// teardown by running a destructor at exit.
HotKeyCenter* sharedHKCenter = nullptr;
bool ignoringEvents = false;

void hotKeyAssert(bool condition, const char* description) {
    if (!condition)
        throw HotKeyAssertion(description);
}

void parameterAssert(bool condition, const char* failedCondition) {
    if (!condition)
        throw HotKeyAssertion(std::string("Invalid parameter not satisfying: ") + failedCondition);
}

} // namespace

QEvent::Type SystemDefinedEvent::eventType() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

HotKeyCenter::HotKeyCenter(HotKeyService& service, QObject* parent)
    : QObject(parent)
    , service(service) {
    service.setReceiver(this);
}

HotKeyCenter::~HotKeyCenter() {
    for (const auto& hk : std::as_const(mHotKeys))
        _unregisterHotKeyIfNeeded(hk.get());
    service.setReceiver(nullptr);
}

void HotKeyCenter::setIgnoreEvents(bool ignore) {
    ignoringEvents = ignore;
}

bool HotKeyCenter::ignoreEvents() {
    return ignoringEvents;
}

void HotKeyCenter::useService(HotKeyService* service) {
    chosenService = service;
}

HotKeyCenter& HotKeyCenter::sharedCenter() {
    if (!sharedHKCenter) {
        static NoHotKeyService refusing;
        sharedHKCenter = new HotKeyCenter(chosenService ? *chosenService : refusing);
    }
    return *sharedHKCenter;
}

HotKeyCenter* HotKeyCenter::existingSharedCenter() {
    return sharedHKCenter;
}

bool HotKeyCenter::addHotKey(const QString& name, const KeyComboRef& combo, QObject* target,
                             const char* action) {
    parameterAssert(!name.isNull(), "name != nil");
    parameterAssert(combo != nullptr, "combo != nil");
    parameterAssert(target != nullptr, "target != nil");
    parameterAssert(action != nullptr, "action != nil");

    removeRecord(name);

    auto hk = std::make_shared<HotKeyData>();
    hk->mCombo = combo;
    hk->mTarget = target;
    hk->mAction = action;
    hk->mName = name;
    // Ids are never 0 and never handed out twice, so a press for a removed record finds nothing.
    do
        ++lastId;
    while (lastId == 0 || byId.contains(lastId));
    hk->mId = lastId;

    mHotKeys.insert(name, hk);
    byId.insert(hk->mId, hk.get());
    const bool registered = _registerHotKeyIfNeeded(hk.get());
    tellStateChanges();
    return registered;
}

void HotKeyCenter::removeHotKey(const QString& name) {
    removeRecord(name);
    tellStateChanges();
}

void HotKeyCenter::removeRecord(const QString& name) {
    const auto found = mHotKeys.constFind(name);
    if (found == mHotKeys.cend())
        return;
    const std::shared_ptr<HotKeyData> hk = *found;
    _unregisterHotKeyIfNeeded(hk.get());
    byId.remove(hk->mId);
    mHotKeys.remove(name);
}

QStringList HotKeyCenter::allNames() const {
    return mHotKeys.keys();
}

KeyComboRef HotKeyCenter::keyComboForName(const QString& name) const {
    const auto hk = mHotKeys.value(name);
    return hk ? hk->mCombo : nullptr;
}

void HotKeyCenter::setEnabled(bool enabled) {
    mEnabled = enabled;
    for (const auto& hk : std::as_const(mHotKeys)) {
        if (enabled)
            _registerHotKeyIfNeeded(hk.get());
        else
            _unregisterHotKeyIfNeeded(hk.get());
    }
    tellStateChanges();
}

void HotKeyCenter::setHotKeyOn(const QString& name, bool on) {
    HotKeyData* hk = mHotKeys.value(name).get();
    if (!hk)
        return;
    hk->mOn = on;
    if (on)
        _registerHotKeyIfNeeded(hk);
    else
        _unregisterHotKeyIfNeeded(hk);
    tellStateChanges();
}

void HotKeyCenter::sendEvent(const QEvent* event) {
    if (_systemSupportsHotKeys() || event->type() != SystemDefinedEvent::eventType())
        return;
    const auto* systemEvent = static_cast<const SystemDefinedEvent*>(event);
    if (systemEvent->type() != SystemDefinedEvent::systemDefinedType || systemEvent->data1() == 0)
        return;
    if (systemEvent->subtype() == SystemDefinedEvent::hotKeyPressed)
        _hotKeyDownWithRef(systemEvent->data1());
    else if (systemEvent->subtype() == SystemDefinedEvent::hotKeyReleased)
        _hotKeyUpWithRef(systemEvent->data1());
}

qint32 HotKeyCenter::handleHotKeyEvent(const HotKeyEvent& event) {
    hotKeyAssert(_systemSupportsHotKeys(), "");
    hotKeyAssert(event.eventClass == HotKeyEvent::keyboardClass, "Got unhandled event class");
    if (!event.id)
        return eventParameterNotFound;
    hotKeyAssert(event.id->signature == signature, "Got unknown hot key");
    hotKeyAssert(event.id->id != 0, "Got bad hot key");
    // An id whose record was removed meanwhile is ignored, never followed.
    HotKeyData* hk = byId.value(event.id->id);
    if (!hk)
        return noError;
    if (event.kind == HotKeyEvent::pressed)
        _hotKeyDown(hk);
    else if (event.kind == HotKeyEvent::released)
        _hotKeyUp(hk);
    return noError;
}

void HotKeyCenter::hotKeySettled(quintptr ref, bool bound) {
    for (auto it = mHotKeys.cbegin(); it != mHotKeys.cend(); ++it) {
        HotKeyData* hk = it.value().get();
        if (!hk->mRegistered || hk->mRef != ref)
            continue;
        if (!bound) {
            hk->mRegistered = false;
            hk->mRef = 0;
        }
        emit hotKeyBindingSettled(it.key(), bound);
        tellStateChanges();
        return;
    }
}

QString HotKeyCenter::desktopTrigger(const QString& name) const {
    const HotKeyData* hk = mHotKeys.value(name).get();
    return hk && hk->mRegistered ? service.triggerDescription(hk->mRef).value_or(QString())
                                 : QString();
}

bool HotKeyCenter::configureDesktopKeys() {
    if (service.configureKeys())
        return true;
    qCInfo(hotKeysLog, "the desktop could not be asked to change the keys");
    return false;
}

HotKeyState HotKeyCenter::keyState(const QString& name) const {
    const HotKeyData* hk = mHotKeys.value(name).get();
    if (!hk || !mEnabled || !hk->mOn || !hk->mCombo->isValid())
        return HotKeyState::turnedOff;
    const bool assigns = service.desktopAssignsKeys();
    // A registration the desktop refused is let go of; one it answered may have no trigger.
    if (!hk->mRegistered) {
        if (assigns)
            return HotKeyState::notApproved;
        return hk->mHeldElsewhere ? HotKeyState::heldElsewhere : HotKeyState::refused;
    }
    if (!assigns)
        return HotKeyState::working;
    const std::optional<QString> trigger = service.triggerDescription(hk->mRef);
    if (!trigger)
        return HotKeyState::waiting;
    return trigger->isEmpty() ? HotKeyState::notApproved : HotKeyState::working;
}

QString HotKeyCenter::keyText(const QString& name) const {
    const HotKeyData* hk = mHotKeys.value(name).get();
    if (!hk)
        return {};
    const QString trigger = desktopTrigger(name);
    return trigger.isEmpty() ? hk->mCombo->linuxDisplayText() : trigger;
}

QString HotKeyCenter::keyStateText(const QString& name) const {
    const QString key = keyText(name);
    if (key.isEmpty())
        return {};
    switch (keyState(name)) {
    case HotKeyState::working:
        return tr("%1: working").arg(key);
    case HotKeyState::waiting:
        return tr("%1: waiting for the desktop").arg(key);
    case HotKeyState::turnedOff:
        return tr("%1: turned off").arg(key);
    case HotKeyState::heldElsewhere:
        return tr("%1: refused: held by another program").arg(key);
    case HotKeyState::notApproved:
        return tr("%1: not approved by the desktop").arg(key);
    case HotKeyState::refused:
        break;
    }
    return tr("%1: refused by the desktop").arg(key);
}

QString HotKeyCenter::keyStatesText(const QStringList& names) const {
    QStringList states;
    bool notApproved = false;
    for (const QString& name : names) {
        if (const QString state = keyStateText(name); !state.isEmpty())
            states.append(state);
        notApproved = notApproved || keyState(name) == HotKeyState::notApproved;
    }
    QString text = states.join(QStringLiteral("; "));
    if (notApproved && !canConfigureDesktopKeys())
        text += '\n' + tr("Keys are set in your desktop's keyboard settings: look for Skerrin "
                          "among the shortcuts of applications.");
    return text;
}

void HotKeyCenter::tellStateChanges() {
    QStringList names = allNames() + toldStates.keys();
    names.removeDuplicates();
    QStringList changed;
    for (const QString& name : std::as_const(names)) {
        const QString state = keyStateText(name);
        if (state == toldStates.value(name))
            continue;
        if (state.isEmpty())
            toldStates.remove(name);
        else
            toldStates.insert(name, state);
        changed.append(name);
    }
    // A listener may change the keys again; it is told of those changes in turn.
    for (const QString& name : std::as_const(changed))
        emit keyStateChanged(name);
}

bool HotKeyCenter::_systemSupportsHotKeys() const {
    return service.deliversIdentity();
}

bool HotKeyCenter::_registerHotKeyIfNeeded(HotKeyData* hk) {
    parameterAssert(hk != nullptr, "hk != nil");
    if (!mEnabled || !hk->mOn || hk->mRegistered || !hk->mCombo->isValid())
        return true;
    const qint32 keyCode = hk->mCombo->keyCode();
    const qint32 modifiers = hk->mCombo->modifiers();
    const quintptr ref =
        service.registerNamedHotKey(hk->mName, keyCode, modifiers, {signature, hk->mId});
    hk->mHeldElsewhere = ref == 0 && service.heldElsewhere(keyCode, modifiers);
    if (ref == 0)
        return false;
    hk->mRef = ref;
    hk->mRegistered = true;
    return true;
}

void HotKeyCenter::_unregisterHotKeyIfNeeded(HotKeyData* hk) {
    parameterAssert(hk != nullptr, "hk != nil");
    if (!hk->mRegistered || hk->mRef == 0)
        return;
    service.unregisterHotKey(hk->mRef);
    hk->mRegistered = false;
    hk->mRef = 0;
}

void HotKeyCenter::_hotKeyDown(HotKeyData* hk) {
    // The action may remove its own hot key, so nothing of the record is used after the call.
    QObject* target = hk->mTarget;
    const char* action = hk->mAction;
    const QString name = hk->mName;
    if (!QMetaObject::invokeMethod(target, action, Qt::DirectConnection, Q_ARG(QObject*, this)))
        qCInfo(hotKeysLog, "hot key action %s not found on %s", action,
               target->metaObject()->className());
    emit hotKeyFired(name);
}

void HotKeyCenter::_hotKeyUp(HotKeyData*) {}

void HotKeyCenter::_hotKeyDownWithRef(quintptr ref) {
    if (HotKeyData* hk = _findHotKeyWithRef(ref))
        _hotKeyDown(hk);
}

void HotKeyCenter::_hotKeyUpWithRef(quintptr) {}

HotKeyData* HotKeyCenter::_findHotKeyWithRef(quintptr ref) const {
    for (const auto& hk : mHotKeys) {
        if (hk->mRef == ref)
            return hk.get();
    }
    return nullptr;
}
