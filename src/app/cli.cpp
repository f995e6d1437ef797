#include "app/cli.h"

#include "core/log.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

namespace zelk::cli {

QString helpText() {
    QString text;
    QTextStream out(&text);
    out << "Usage: zelk [COMMAND [ARGS...]]\n\n"
        << "Without a command, starts the dictation utility in the system tray.\n\n"
        << "Commands:\n";
    for (const auto& command : commands())
        out << "  " << command.synopsis.leftJustified(34) << ' ' << command.summary << '\n';
    out << "\nOptions:\n"
        << "  " << QStringLiteral("--help").leftJustified(34) << " show this help\n"
        << "  " << QStringLiteral("--version").leftJustified(34) << " show the version\n"
        << "\nRun `zelk COMMAND --help` for a command's options.\n";
    return text;
}

int dispatch(int argc, char** argv) {
    if (argc < 2)
        return -1;
    const QString first = QString::fromLocal8Bit(argv[1]);
    if (first == QLatin1String("--version") || first == QLatin1String("-V")) {
        std::printf("zelk %s\n", ZELK_VERSION);
        return ok;
    }
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help")) {
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return ok;
    }
    for (const auto& command : commands()) {
        if (command.name != first)
            continue;
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("zelk"));
        QCoreApplication::setApplicationVersion(QStringLiteral(ZELK_VERSION));
        Log::installMessageFormat();
        QStringList args;
        for (int i = 2; i < argc; ++i)
            args.append(QString::fromLocal8Bit(argv[i]));
        return command.run(args);
    }
    std::fprintf(stderr, "zelk: unknown command or option '%s'\n\n%s", argv[1], helpText().toLocal8Bit().constData());
    return usage;
}

} // namespace zelk::cli
