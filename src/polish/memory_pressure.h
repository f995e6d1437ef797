#pragma once

#include "core/clock.h"

#include <QByteArray>

#include <functional>
#include <memory>

namespace zelk {

// Watches the system for memory pressure while it lives; calls back on the
// main thread at each event.
class MemoryPressureWatch {
public:
    virtual ~MemoryPressureWatch() = default;
};

using MemoryPressureFactory = std::function<std::unique_ptr<MemoryPressureWatch>(std::function<void()> onPressure)>;

// Linux pressure-stall information: a trigger on /proc/pressure/memory fires
// when tasks stall on memory for 150 ms within 2 s. Kernels without PSI (or
// that refuse the trigger) are polled instead: /proc/meminfo every 5 s.
MemoryPressureFactory linuxMemoryPressure(Clock& clock);

// Whether a /proc/meminfo text reports less than 5 % of memory available.
bool meminfoShowsPressure(const QByteArray& meminfo);

} // namespace zelk
