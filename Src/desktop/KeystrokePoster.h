#pragma once

#include <functional>

// Synthetic key presses for the application in front. Key codes are the stored numbering
// (C is 8, Control is 59).
class KeystrokePoster {
public:
    virtual ~KeystrokePoster() = default;

    // False where the desktop lets no program post keys to another.
    virtual bool canPost() const { return true; }

    // Runs `ready` once no non-modifier key is held down (while one is, a grab may route posted
    // keys back to us), or after a bounded wait for a release that never comes.
    virtual void whenKeysReleased(std::function<void()> ready) = 0;
    // Holds back (true) or releases (false) local input while keys are posted.
    virtual void inhibitLocalEvents(bool inhibit) = 0;
    // false: the modifiers the user still holds are released so they do not combine with the
    // posted keys; true: posting is over. Nothing is ever pressed back.
    virtual void enableEventStateCombining(bool combine) = 0;
    // 0 when posted, otherwise an error code. The C key stands for the desktop's copy key: the
    // key that types "c" in the layout active now, or one that copies with Control where that
    // layout has no "c".
    virtual int postKeyboardEvent(int charCode, int keyCode, bool keyDown) = 0;
};
