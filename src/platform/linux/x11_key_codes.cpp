#include "platform/linux/x11_key_codes.h"

#include <X11/keysym.h>

#include <array>
#include <utility>

namespace zelk::x11 {

namespace {

constexpr std::array<std::pair<int, unsigned long>, 24> table{{
    {122, XK_F1},         {120, XK_F2},         {99, XK_F3},           {118, XK_F4},        {96, XK_F5},
    {97, XK_F6},          {98, XK_F7},          {100, XK_F8},          {101, XK_F9},        {109, XK_F10},
    {103, XK_F11},        {111, XK_F12},        {53, XK_Escape},       {54, XK_Super_R},    {55, XK_Super_L},
    {56, XK_Shift_L},     {60, XK_Shift_R},     {58, XK_Alt_L},        {61, XK_Alt_R},      {59, XK_Control_L},
    {62, XK_Control_R},   {57, XK_Caps_Lock},   {9, XK_v},             {8, XK_c},
}};

} // namespace

std::optional<unsigned long> keysymForKeyCode(int code) {
    for (const auto& [c, sym] : table) {
        if (c == code)
            return sym;
    }
    return std::nullopt;
}

std::optional<int> keyCodeForKeysym(unsigned long keysym) {
    if (keysym == XK_ISO_Level3_Shift)
        return 61;
    for (const auto& [c, sym] : table) {
        if (sym == keysym)
            return c;
    }
    return std::nullopt;
}

} // namespace zelk::x11
