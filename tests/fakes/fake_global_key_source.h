#pragma once

#include "platform/global_key_source.h"

namespace zelk::test {

// A key source whose events the test sends; it remembers what is grabbed.
class FakeGlobalKeySource final : public GlobalKeySource {
public:
    bool refuseInstall = false;
    int installs = 0;
    QSet<int> grabbed;
    QSet<int> heldByOthers; // keys another program has grabbed

    bool install(Handler handler, const QSet<int>& keys) override {
        if (refuseInstall || keys.intersects(heldByOthers))
            return false;
        ++installs;
        m_handler = std::move(handler);
        grabbed = keys;
        return true;
    }
    bool isInstalled() const override { return bool(m_handler); }
    bool setGrabbedKeys(const QSet<int>& keys) override {
        grabbed = keys - heldByOthers;
        return !keys.intersects(heldByOthers);
    }

    Disposition send(const Event& e) { return m_handler(e); }
    Disposition keyDown(int code, bool repeat = false) { return send({Event::Type::keyDown, code, repeat, 0}); }
    Disposition flagsChanged(int code, quint64 flags) { return send({Event::Type::flagsChanged, code, false, flags}); }

private:
    Handler m_handler;
};

} // namespace zelk::test
