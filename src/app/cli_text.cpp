#include "app/cli_text.h"

#include "app/cli.h"
#include "core/settings.h"
#include "core/text.h"
#include "language/chinese_typography.h"
#include "language/personal_dictionary.h"
#include "language/spoken_math.h"
#include "storage/notes_router.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cstdio>
#include <optional>
#include <variant>

namespace zelk::cli {

namespace {

const char* const kHelp =
    "Usage: zelk text [options] [TEXT]\n"
    "Prints what a finished dictation of TEXT (or of standard input when TEXT is\n"
    "absent) would deliver with polish off: the personal dictionary's corrections,\n"
    "then typography; a spoken calculation is delivered as formula = value. A\n"
    "transcript that starts with a note phrase is filed instead of typed: the\n"
    "output is then \"task: CONTENT\" or \"note: CONTENT\".\n"
    "\n"
    "Options:\n"
    "  --dictionary FILE  use the terms of FILE (a JSON array of strings) instead of\n"
    "                     the user's dictionary\n"
    "  --no-builtin       leave the built-in product lexicon out\n"
    "  --json             print every stage as one JSON object\n"
    "  --help             show this help\n";

struct Options {
    std::optional<QString> dictionary;
    bool builtin = true;
    bool json = false;
    QStringList words;
};

// Every stage of the finishing pipeline that the command reproduces.
struct Stages {
    QString corrected;
    QString typeset;
    std::optional<SpokenMath::Route> math;
    std::optional<std::pair<NoteKind, QString>> note;
    QString delivered;
};

void printErr(const QString& s) { std::fputs((QStringLiteral("zelk text: ") + s + QLatin1Char('\n')).toUtf8().constData(), stderr); }

std::optional<QStringList> loadTerms(const Options& o) {
    if (o.dictionary) {
        auto terms = PersonalDictionary::readTerms(*o.dictionary);
        if (!terms)
            printErr(QStringLiteral("cannot read %1 as a JSON array of strings").arg(*o.dictionary));
        return terms;
    }
    const QString path = PersonalDictionary::defaultPath();
    if (!QFile::exists(path))
        return QStringList();
    auto terms = PersonalDictionary::readTerms(path);
    if (!terms)
        printErr(QStringLiteral("cannot read the dictionary %1").arg(path));
    return terms;
}

QString correctStage(const QString& transcript, const QStringList& terms, bool builtin) {
    return PersonalDictionary::corrections(transcript, terms, builtin);
}

QString typesetStage(const QString& corrected) { return ChineseTypography::format(corrected); }

std::optional<SpokenMath::Route> mathStage(const QString& typeset) { return SpokenMath::route(typeset); }

QString deliveredText(const Stages& s) {
    if (s.math)
        if (const auto* c = std::get_if<SpokenMath::Computed>(&*s.math))
            return c->result.formula + QStringLiteral(" = ") + c->result.value;
    // A calculation that could not be computed is written as dictated; with
    // polish off, so is ordinary text.
    return s.typeset;
}

QJsonValue mathJson(const std::optional<SpokenMath::Route>& route) {
    if (!route)
        return QJsonValue::Null;
    if (const auto* c = std::get_if<SpokenMath::Computed>(&*route))
        return QJsonObject{{QStringLiteral("kind"), QStringLiteral("computed")},
                           {QStringLiteral("formula"), c->result.formula},
                           {QStringLiteral("value"), c->result.value}};
    return QJsonObject{{QStringLiteral("kind"), QStringLiteral("intent")},
                       {QStringLiteral("expression"), std::get<SpokenMath::Intent>(*route).expression}};
}

std::optional<Options> parseOptions(const QStringList& args, int* exitCode) {
    Options o;
    o.builtin = Settings::builtinLexicon();
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help")) {
            std::fputs(kHelp, stdout);
            *exitCode = ok;
            return std::nullopt;
        }
        if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (a == QLatin1String("--no-builtin")) {
            o.builtin = false;
        } else if (a == QLatin1String("--dictionary")) {
            if (i + 1 >= args.size()) {
                printErr(QStringLiteral("--dictionary needs a FILE"));
                *exitCode = usage;
                return std::nullopt;
            }
            o.dictionary = args[++i];
        } else if (a == QLatin1String("--")) {
            o.words += args.mid(i + 1);
            break;
        } else if (a.startsWith(QLatin1String("--"))) {
            printErr(QStringLiteral("unknown option %1").arg(a));
            std::fputs(kHelp, stderr);
            *exitCode = usage;
            return std::nullopt;
        } else {
            o.words.append(a);
        }
    }
    return o;
}

QString readStandardInput() {
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(in.readAll());
}

} // namespace

int runText(const QStringList& args) {
    int exitCode = ok;
    const auto options = parseOptions(args, &exitCode);
    if (!options)
        return exitCode;
    const auto terms = loadTerms(*options);
    if (!terms)
        return failure;
    const QString transcript = text::trimmedWhitespaceAndNewlines(options->words.isEmpty() ? readStandardInput()
                                                                                            : options->words.join(QLatin1Char(' ')));

    Stages s;
    s.corrected = correctStage(transcript, *terms, options->builtin);
    s.typeset = typesetStage(s.corrected);
    if (!s.typeset.isEmpty())
        s.math = mathStage(s.typeset);
    // Notes and tasks are recognised after the calculation check; a note is filed, not typed.
    if (!s.math && !s.typeset.isEmpty())
        s.note = NotesRouter::match(s.typeset);
    if (!s.note)
        s.delivered = deliveredText(s);

    if (options->json) {
        const QJsonObject o{{QStringLiteral("corrected"), s.corrected},
                            {QStringLiteral("typeset"), s.typeset},
                            {QStringLiteral("math"), mathJson(s.math)},
                            {QStringLiteral("note"), s.note ? QJsonValue(QJsonObject{{QStringLiteral("kind"), rawValue(s.note->first)},
                                                                                     {QStringLiteral("text"), s.note->second}})
                                                            : QJsonValue(QJsonValue::Null)},
                            {QStringLiteral("delivered"), s.delivered}};
        std::fputs(QJsonDocument(o).toJson(QJsonDocument::Compact).append('\n').constData(), stdout);
    } else if (s.note) {
        std::fputs((rawValue(s.note->first) + QStringLiteral(": ") + s.note->second + QLatin1Char('\n')).toUtf8().constData(), stdout);
    } else if (!s.delivered.isEmpty()) {
        std::fputs((s.delivered + QLatin1Char('\n')).toUtf8().constData(), stdout);
    }
    if (s.delivered.isEmpty() && !s.note) {
        printErr(QStringLiteral("没有听到内容"));
        return failure;
    }
    return ok;
}

} // namespace zelk::cli
