#pragma once

#include "KeyBroadcaster.h"
#include "KeyCombo.h"
#include "NotificationCenter.h"

#include <QDialog>

#include <functional>
#include <memory>

class QLineEdit;

namespace Ui {
class KeyComboPanel;
}

// The shared modal panel in which the user presses the combination that is to become a hot
// key. The last press before OK wins; Cancel leaves it in place, callers ignore it then.
class KeyComboPanel : public QDialog {
    Q_OBJECT
public:
    // Made on first request and kept; null (with a log line) while it cannot be made.
    static KeyComboPanel* sharedPanel();

    ~KeyComboPanel() override;

    KeyComboRef keyCombo() const { return mKeyCombo; }
    // A null combination shows empty text.
    void setKeyCombo(const KeyComboRef& combo);
    // 1 when the user ended with OK, 0 with Cancel (or by closing the window).
    int runModal();

    // When set, runModal() calls this instead of running a nested loop; it plays the person
    // (presses keys and buttons on the panel) and returns the code. Empty restores the loop.
    static void setModalRunnerForTesting(std::function<int(KeyComboPanel&)> runner);

    KeyBroadcaster* broadcaster() const;
    QLineEdit* textField() const { return mTextField; }

public slots:
    void ok();
    void cancel();
    void clear();

private:
    KeyComboPanel();

    void keyEvent(const NotificationCenter::Notification& notification);
    void _keyComboChanged();

    std::unique_ptr<Ui::KeyComboPanel> ui;
    QLineEdit* mTextField = nullptr;
    KeyComboRef mKeyCombo;

public:
    // Kept for callers of the library's interface; nothing in Skerrin calls these.
    // Accepted so callers may name the hot key; the panel does not show it.
    void setKeyName(const QString& name);
};
