#pragma once

#include <QtGlobal>

class HotKeyCenter;

// The 8-byte identity a hot key is registered with and its presses come back with.
struct HotKeyId {
    quint32 signature = 0;
    quint32 id = 0;
};

// The desktop's system-wide hot keys. The center registers and releases through it; the backend
// reports presses to the center, carrying the identity (handleHotKeyEvent) or the handle
// (as an application event through SBApplication).
class HotKeyService {
public:
    virtual ~HotKeyService() = default;

    // Whether presses arrive carrying the identity rather than the handle.
    virtual bool deliversIdentity() const = 0;
    // A non-zero handle, or 0 when the desktop refused the combination. Key code and modifier
    // bits are the stored numbering.
    virtual quintptr registerHotKey(qint32 keyCode, qint32 modifiers, HotKeyId id) = 0;
    virtual void unregisterHotKey(quintptr ref) = 0;
};
