#pragma once

#include <QtGlobal>

#include <cstdint>

// The stored key numbering (F11 is 103, C is 8) against X keysyms, and the stored modifier bits
// against X modifier masks: Command is Super (Mod4), Option is Alt (Mod1).
namespace KeyCodeMap {
// 0 when the key code has no keysym.
std::uint32_t keysymForKeyCode(qint32 keyCode);
// -1 when the keysym has no key code.
qint32 keyCodeForKeysym(std::uint32_t keysym);
std::uint16_t xModifiersForModifiers(qint32 modifiers);
qint32 modifiersForXModifiers(std::uint16_t xModifiers);
} // namespace KeyCodeMap
