#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace zelk {

// Owns the C strings handed to one recogniser construction; the library copies
// them, so the arena only has to outlive the Create call.
class CStringArena {
public:
    // A NUL-terminated UTF-8 copy of `text`, valid for the arena's life.
    const char* ptr(const QString& text);
    std::size_t size() const { return m_pointers.size(); }

private:
    std::vector<std::unique_ptr<char[]>> m_pointers;
};

} // namespace zelk
