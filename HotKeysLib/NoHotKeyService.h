#pragma once

#include "HotKeyService.h"

// Stands in where the desktop offers no hot keys: every combination is refused, nothing is
// delivered.
class NoHotKeyService : public HotKeyService {
public:
    bool deliversIdentity() const override { return true; }
    quintptr registerHotKey(qint32, qint32, HotKeyId) override { return 0; }
    void unregisterHotKey(quintptr) override {}
};
