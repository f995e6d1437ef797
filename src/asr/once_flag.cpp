#include "asr/once_flag.h"

namespace zelk {

bool OnceFlag::claim() {
    std::lock_guard lock(m_mutex);
    if (m_done)
        return false;
    m_done = true;
    return true;
}

bool OnceFlag::isClaimed() const {
    std::lock_guard lock(m_mutex);
    return m_done;
}

} // namespace zelk
