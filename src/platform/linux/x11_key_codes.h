#pragma once

#include <optional>

namespace zelk::x11 {

// The X keysym of a virtual key code (F1–F12, Escape, the modifiers, C, V);
// absent for codes the hotkeys do not use.
std::optional<unsigned long> keysymForKeyCode(int code);
// The virtual key code of a keysym; absent when not in the table. AltGr
// (ISO_Level3_Shift) counts as right Alt, as it sits on that key.
std::optional<int> keyCodeForKeysym(unsigned long keysym);

} // namespace zelk::x11
