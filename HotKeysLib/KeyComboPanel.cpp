#include "KeyComboPanel.h"

#include "HotKeyCenter.h"
#include "HotKeysLog.h"
#include "KeyBroadcaster.h"
#include "KeyCodeMap.h"
#include "ui_KeyComboPanel.h"

#include <QApplication>
#include <QScreen>

#include <xkbcommon/xkbcommon-keysyms.h>

namespace {

// Why the combination cannot be a hot key; empty when it can (the cleared one can).
QString refusalOf(const KeyCombo& combo) {
    if (!combo.isValid())
        return {};
    const std::uint32_t keysym = KeyCodeMap::keysymForKeyCode(combo.keyCode());
    // Desktops let function and media keys work alone; any other key would stop typing.
    const bool standsAlone = (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F24) ||
                             (keysym >= 0x1008FF00 && keysym <= 0x1008FFFF);
    constexpr qint32 holding =
        HotKeyModifier::Command | HotKeyModifier::Option | HotKeyModifier::Control;
    if (!standsAlone && !(combo.modifiers() & holding))
        return KeyComboPanel::tr("%1 needs Ctrl, Alt or Super, or it would be taken from typing.")
            .arg(combo.linuxDisplayText());
    const HotKeyCenter* center = HotKeyCenter::existingSharedCenter();
    if (center && center->heldElsewhere(combo))
        return KeyComboPanel::tr("%1 is held by another program.").arg(combo.linuxDisplayText());
    return {};
}

KeyComboPanel* sharedKeyComboPanel = nullptr;

std::function<int(KeyComboPanel&)>& modalRunner() {
    static std::function<int(KeyComboPanel&)> runner;
    return runner;
}

} // namespace

KeyComboPanel* KeyComboPanel::sharedPanel() {
    if (sharedKeyComboPanel)
        return sharedKeyComboPanel;
    // Widgets need a GUI application; without one (a command-line run) there is no panel.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        qCInfo(hotKeysLog).noquote() << tr("Failed to load KeyComboPanel nib file.");
        return nullptr;
    }
    sharedKeyComboPanel = new KeyComboPanel;
    return sharedKeyComboPanel;
}

KeyComboPanel::KeyComboPanel()
    : ui(std::make_unique<Ui::KeyComboPanel>()) {
    ui->setupUi(this);
    mTextField = ui->keyComboField;
    connect(ui->okButton, &QPushButton::clicked, this, &KeyComboPanel::ok);
    connect(ui->cancelButton, &QPushButton::clicked, this, &KeyComboPanel::cancel);
    connect(ui->clearButton, &QPushButton::clicked, this, &KeyComboPanel::clear);
    clear();
    NotificationCenter::defaultCenter().addObserver(
        this, KeyBraodcasterKeyEvent,
        [this](const NotificationCenter::Notification& notification) { keyEvent(notification); });
}

KeyComboPanel::~KeyComboPanel() {
    NotificationCenter::defaultCenter().removeObserver(this);
    setKeyCombo(nullptr);
}

void KeyComboPanel::setKeyCombo(const KeyComboRef& combo) {
    mKeyCombo = combo;
    _keyComboChanged();
}

void KeyComboPanel::setKeyName(const QString&) {}

int KeyComboPanel::runModal() {
    // A second caller would hide the panel under the first one's loop.
    if (isVisible()) {
        qCInfo(hotKeysLog, "The key combination panel is already running.");
        return 0;
    }
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    ui->broadcaster->setFocus();
    int code = 0;
    if (modalRunner()) {
        show();
        raise();
        activateWindow();
        code = modalRunner()(*this);
    } else {
        code = exec();
    }
    hide();
    return code;
}

void KeyComboPanel::setModalRunnerForTesting(std::function<int(KeyComboPanel&)> runner) {
    modalRunner() = std::move(runner);
}

KeyBroadcaster* KeyComboPanel::broadcaster() const {
    return ui->broadcaster;
}

void KeyComboPanel::ok() {
    done(1);
}

void KeyComboPanel::cancel() {
    done(0);
}

void KeyComboPanel::clear() {
    setKeyCombo(KeyCombo::clearKeyCombo());
}

void KeyComboPanel::keyEvent(const NotificationCenter::Notification& notification) {
    const qint16 keyCode = notification.userInfo.value(QStringLiteral("KeyCode")).value<qint16>();
    const qint32 modifiers =
        notification.userInfo.value(QStringLiteral("Modifiers")).value<qint32>();
    setKeyCombo(KeyCombo::keyComboWithKeyCode(keyCode, modifiers));
}

void KeyComboPanel::_keyComboChanged() {
    mTextField->setText(mKeyCombo ? mKeyCombo->linuxDisplayText() : QString());
    const QString refusal = mKeyCombo ? refusalOf(*mKeyCombo) : QString();
    ui->refusal->setText(refusal);
    ui->okButton->setEnabled(refusal.isEmpty());
}
