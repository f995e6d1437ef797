#pragma once

#include "platform/workspace.h"

namespace zelk {

// Applications as the X11 window manager (EWMH) and /proc see them.
class LinuxWorkspace final : public Workspace {
public:
    std::optional<RunningApplication> frontmostApplication() override;
    std::optional<RunningApplication> runningApplication(qint64 pid) override;
    bool activate(qint64 pid) override;
};

// The desktop entry of a window class: its id and localised name (absent when no entry matches).
struct DesktopEntry {
    QString id;
    QString name;
};
std::optional<DesktopEntry> desktopEntryForClass(const QString& instance, const QString& windowClass);

} // namespace zelk
