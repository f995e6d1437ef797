#pragma once

#include <QtGlobal>

// Virtual key codes as stored in settings and sent to the web page (a US
// layout's codes on the original keyboard tables); each window-system layer
// translates them to its own keys.
namespace zelk::keycode {

inline constexpr int c = 8;
inline constexpr int v = 9;
inline constexpr int escape = 53;
inline constexpr int rightSuper = 54;
inline constexpr int leftSuper = 55;
inline constexpr int leftShift = 56;
inline constexpr int capsLock = 57;
inline constexpr int leftAlt = 58;
inline constexpr int leftControl = 59;
inline constexpr int rightShift = 60;
inline constexpr int rightAlt = 61;
inline constexpr int rightControl = 62;

inline constexpr quint64 superFlag = 0x100000;
inline constexpr quint64 shiftFlag = 0x20000;
inline constexpr quint64 altFlag = 0x80000;
inline constexpr quint64 controlFlag = 0x40000;

// The modifier flag held while the key is down; 0 for other keys (Caps Lock included).
constexpr quint64 modifierFlag(qint64 code) {
    switch (code) {
    case rightSuper:
    case leftSuper: return superFlag;
    case leftShift:
    case rightShift: return shiftFlag;
    case leftAlt:
    case rightAlt: return altFlag;
    case leftControl:
    case rightControl: return controlFlag;
    default: return 0;
    }
}

} // namespace zelk::keycode
