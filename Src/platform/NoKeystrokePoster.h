#pragma once

#include "KeystrokePoster.h"

// Stands in where no program may post keys to another (Wayland): no copy is ever posted.
class NoKeystrokePoster : public KeystrokePoster {
public:
    bool canPost() const override { return false; }
    void whenKeysReleased(std::function<void()> ready) override { ready(); }
    void inhibitLocalEvents(bool) override {}
    void enableEventStateCombining(bool) override {}
    int postKeyboardEvent(int, int, bool) override { return -1; }
};
