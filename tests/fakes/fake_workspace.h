#pragma once

#include "platform/workspace.h"

#include <QHash>
#include <QStringList>

#include <functional>

namespace zelk::test {

// Running applications by pid and which one is in front.
class FakeWorkspace final : public Workspace {
public:
    QHash<qint64, RunningApplication> running;
    std::optional<qint64> front;
    bool acceptsActivation = true;
    // What activation does; by default the application comes to the front.
    std::function<void(qint64)> onActivate = [this](qint64 pid) { front = pid; };
    QStringList calls;

    RunningApplication& add(qint64 pid, const QString& name) {
        running.insert(pid, RunningApplication{pid, QStringLiteral("app.%1").arg(pid), name, false});
        return running[pid];
    }

    std::optional<RunningApplication> frontmostApplication() override {
        if (!front || !running.contains(*front))
            return std::nullopt;
        return running.value(*front);
    }
    std::optional<RunningApplication> runningApplication(qint64 pid) override {
        return running.contains(pid) ? std::optional(running.value(pid)) : std::nullopt;
    }
    bool activate(qint64 pid) override {
        calls << QStringLiteral("activate %1").arg(pid);
        if (!acceptsActivation)
            return false;
        if (onActivate)
            onActivate(pid);
        return true;
    }
};

} // namespace zelk::test
