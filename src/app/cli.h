#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace zelk::cli {

// Exit codes shared by every command.
enum ExitCode { ok = 0, failure = 1, usage = 2 };

struct Command {
    QString name;     // first word on the command line
    QString synopsis; // "text [options] [TEXT]"
    QString summary;  // one line for `zelk --help`
    // Runs with the words after the name; a QCoreApplication exists.
    std::function<int(const QStringList& args)> run;
};

// Every command of the `zelk` program, in the order `--help` lists them.
const QList<Command>& commands();

// Entry point: answers the process exit code, or -1 when argv names no command
// (the caller then starts the desktop application).
int dispatch(int argc, char** argv);

QString helpText();

} // namespace zelk::cli
