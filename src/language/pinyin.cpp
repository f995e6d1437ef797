#include "language/pinyin.h"

#include <QHash>

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <memory>
#include <mutex>
#include <unordered_map>

namespace zelk::Pinyin {

namespace {

struct Reading {
    QString toned;
    QString toneless;
};

QString stripDiacritics(const QString& s) {
    const QString decomposed = s.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            out.append(c);
    return out.normalized(QString::NormalizationForm_C);
}

QString withoutSpaces(QString s) {
    s.remove(QLatin1Char(' '));
    return s;
}

// ICU transliterators are not thread-safe: one instance behind a lock, and a
// cache shared by all threads behind the same lock.
class SharedTransliterator {
public:
    static SharedTransliterator& instance() {
        static SharedTransliterator t;
        return t;
    }

    Reading read(char32_t c) {
        std::lock_guard lock(m_mutex);
        auto it = m_cache.find(c);
        if (it != m_cache.end())
            return it->second;
        Reading r = compute(c);
        m_cache.emplace(c, r);
        return r;
    }

private:
    SharedTransliterator() {
        UErrorCode status = U_ZERO_ERROR;
        m_hanLatin.reset(icu::Transliterator::createInstance("Han-Latin", UTRANS_FORWARD, status));
        if (U_FAILURE(status))
            m_hanLatin.reset();
    }

    Reading compute(char32_t c) {
        QString s = QString::fromUcs4(&c, 1);
        if (m_hanLatin && c >= 0x80) {
            icu::UnicodeString u(reinterpret_cast<const char16_t*>(s.utf16()), int32_t(s.size()));
            m_hanLatin->transliterate(u);
            s = QString(reinterpret_cast<const QChar*>(u.getBuffer()), u.length());
        }
        Reading r;
        r.toned = withoutSpaces(s.normalized(QString::NormalizationForm_C).toLower());
        r.toneless = stripDiacritics(r.toned).toLower();
        return r;
    }

    std::mutex m_mutex;
    std::unique_ptr<icu::Transliterator> m_hanLatin;
    std::unordered_map<char32_t, Reading> m_cache;
};

// Per-thread front cache: most lookups never touch the lock.
const Reading& readingOf(char32_t c) {
    thread_local std::unordered_map<char32_t, Reading> local;
    auto it = local.find(c);
    if (it != local.end())
        return it->second;
    return local.emplace(c, SharedTransliterator::instance().read(c)).first->second;
}

template <typename Pick>
QString convert(QStringView text, Pick pick) {
    QString out;
    out.reserve(text.size() * 3);
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode()))
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        if (c < 0x80) {
            if (c != ' ')
                out.append(QChar(char16_t(c)).toLower());
            continue;
        }
        out.append(pick(readingOf(c)));
    }
    return out;
}

} // namespace

void prepare() { (void)readingOf(0x4E2D); }

const QString& tonedOf(char32_t c) { return readingOf(c).toned; }
const QString& tonelessOf(char32_t c) { return readingOf(c).toneless; }

QString toned(QStringView text) {
    return convert(text, [](const Reading& r) -> const QString& { return r.toned; });
}

QString toneless(QStringView text) {
    return convert(text, [](const Reading& r) -> const QString& { return r.toneless; });
}

} // namespace zelk::Pinyin
