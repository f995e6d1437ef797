#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace zelk {

// The user's list of terms: names, product words and jargon the recogniser
// should know, and explicit corrections written as wrong form, separator, right
// form ("吉特哈布=GitHub"). One per application, used on the main thread; the
// terms are kept in dictionary.json in the application-support folder.
class PersonalDictionary : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList terms READ terms NOTIFY termsChanged)

public:
    struct Replacement {
        QString from;
        QString to;
        bool operator==(const Replacement&) const = default;
    };

    // An empty path means dictionary.json in the application-support folder.
    explicit PersonalDictionary(const QString& path = {}, QObject* parent = nullptr);

    QString path() const { return m_path; }
    QStringList terms() const { return m_terms; }

    // Reads the file, or migrates the hotwords of the legacy settings file.
    void load();
    // Writes the terms atomically; a failure leaves the list in memory as it is.
    void save();
    // Adds a term unless one equal ignoring case exists.
    void add(const QString& term);
    // Removes every term equal ignoring case.
    void remove(const QString& term);
    // Replaces the whole list (the main window's editor).
    void replaceAll(const QStringList& list);

    QList<Replacement> replacements() const { return replacementsOf(m_terms); }
    QStringList plainTerms() const { return plainTermsOf(m_terms); }
    QStringList preferredSpellings() const;
    // The hotword text for the recognisers: newest terms first, at most 160 characters.
    QString hotwordText() const;

    static std::optional<Replacement> replacement(const QString& term);
    static QList<Replacement> replacementsOf(const QStringList& terms);
    static QStringList plainTermsOf(const QStringList& terms);
    static QStringList preferredSpellingsOf(const QStringList& terms);
    static QStringList normalize(const QStringList& list);
    static QString cappedHotwords(const QStringList& list, qsizetype limit);
    static QString replaceExact(const QString& from, const QString& to, const QString& text);
    // The correction pipeline applied to every transcript; `builtin` enables
    // the built-in product lexicon.
    static QString corrections(const QString& text, const QStringList& terms, bool builtin);

    static QString defaultPath();
    // The terms stored in a dictionary file, or nothing when it is missing or
    // not a JSON array of strings. Reads only.
    static std::optional<QStringList> readTerms(const QString& path);

Q_SIGNALS:
    void termsChanged();

private:
    void setTerms(const QStringList& terms);
    QStringList migrateLegacy() const;

    QString m_path;
    QStringList m_terms;
};

} // namespace zelk
