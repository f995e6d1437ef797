#include "asr/cstring_arena.h"

#include <cstring>

namespace zelk {

const char* CStringArena::ptr(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    auto copy = std::make_unique<char[]>(std::size_t(utf8.size()) + 1);
    std::memcpy(copy.get(), utf8.constData(), std::size_t(utf8.size()) + 1);
    m_pointers.push_back(std::move(copy));
    return m_pointers.back().get();
}

} // namespace zelk
