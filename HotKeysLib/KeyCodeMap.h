#pragma once

#include <QtGlobal>

#include <cstdint>

// The stored key numbering (F11 is 103, C is 8) against keysyms.
namespace KeyCodeMap {
// 0 when the key code has no keysym.
std::uint32_t keysymForKeyCode(qint32 keyCode);
// -1 when the keysym has no key code.
qint32 keyCodeForKeysym(std::uint32_t keysym);
} // namespace KeyCodeMap
