#pragma once

#include "core/clock.h"

#include <array>

namespace zelk::AudioRecovery {

// Waits before each attempt to restart a lost capture: short first, since most
// device switches settle within a quarter second.
inline constexpr std::array<Duration, 4> retryDelays{secondsF(0.25), secondsF(0.6), secondsF(1.0), secondsF(1.5)};

} // namespace zelk::AudioRecovery
