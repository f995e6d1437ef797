#pragma once

#include <QString>

#include <optional>

namespace zelk {

// A desktop application as the window system and process table see it.
struct RunningApplication {
    qint64 pid = 0;
    std::optional<QString> bundleID; // desktop-file id, else the window class
    std::optional<QString> localizedName;
    bool isTerminated = false;

    bool operator==(const RunningApplication&) const = default;
};

// Frontmost and running applications, and activation.
class Workspace {
public:
    virtual ~Workspace() = default;
    // The application owning the active window; absent when there is none.
    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    // The process `pid`; absent when no such process exists.
    virtual std::optional<RunningApplication> runningApplication(qint64 pid) = 0;
    // Asks the window manager to bring the application's window to the front;
    // answers whether the request was accepted.
    virtual bool activate(qint64 pid) = 0;
};

} // namespace zelk
