#include "core/text.h"

#include <QList>

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <memory>

namespace zelk::text {

namespace {

// One iterator per thread: creating one costs far more than using it.
icu::BreakIterator& characterIterator() {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status))
            qFatal("ICU character break iterator unavailable: %s", u_errorName(status));
        return it;
    }();
    return *iterator;
}

template <typename Visit>
void forEachBoundary(const QString& s, Visit visit) {
    // Read-only alias of the QString buffer; the iterator is reset before returning.
    const icu::UnicodeString alias(false, reinterpret_cast<const char16_t*>(s.utf16()), int32_t(s.size()));
    auto& it = characterIterator();
    it.setText(alias);
    for (int32_t pos = it.first(); pos != icu::BreakIterator::DONE; pos = it.next())
        if (!visit(qsizetype(pos)))
            break;
    it.setText(icu::UnicodeString());
}

bool isAscii(const QString& s) {
    for (QChar c : s)
        if (c.unicode() >= 0x80 || c.unicode() == u'\r')
            return false;
    return true;
}

} // namespace

QList<qsizetype> graphemeBoundaries(const QString& s) {
    QList<qsizetype> result;
    if (s.isEmpty()) {
        result.append(0);
        return result;
    }
    forEachBoundary(s, [&](qsizetype pos) {
        result.append(pos);
        return true;
    });
    return result;
}

qsizetype graphemeCount(const QString& s) {
    if (isAscii(s))
        return s.size();
    qsizetype boundaries = 0;
    forEachBoundary(s, [&](qsizetype) {
        ++boundaries;
        return true;
    });
    return boundaries - 1;
}

QString graphemePrefix(const QString& s, qsizetype n) {
    if (n <= 0)
        return {};
    if (isAscii(s))
        return s.left(n);
    qsizetype seen = -1;
    qsizetype end = s.size();
    forEachBoundary(s, [&](qsizetype pos) {
        if (++seen == n) {
            end = pos;
            return false;
        }
        return true;
    });
    return s.left(end);
}

QString graphemeSuffix(const QString& s, qsizetype n) {
    if (n <= 0)
        return {};
    const auto bounds = graphemeBoundaries(s);
    const qsizetype clusters = bounds.size() - 1;
    if (n >= clusters)
        return s;
    return s.mid(bounds[clusters - n]);
}

QString prefixAtGraphemeBoundary(const QString& s, qsizetype maxUnits) {
    if (s.size() <= maxUnits)
        return s;
    qsizetype end = 0;
    forEachBoundary(s, [&](qsizetype pos) {
        if (pos > maxUnits)
            return false;
        end = pos;
        return true;
    });
    return s.left(end);
}

bool isWhitespaceOrNewline(char32_t c) {
    return c == 0x09 || c == 0x0A || c == 0x0B || c == 0x0C || c == 0x0D || c == 0x85 || u_charType(UChar32(c)) == U_SPACE_SEPARATOR ||
           c == 0x2028 || c == 0x2029;
}

bool isSpaceOrTab(char32_t c) { return c == 0x09 || u_charType(UChar32(c)) == U_SPACE_SEPARATOR; }

namespace {
template <typename Pred>
QString trimmedBy(const QString& s, Pred pred) {
    const auto* data = s.constData();
    qsizetype begin = 0, end = s.size();
    // Every character these trims remove is in the BMP.
    while (begin < end && pred(char32_t(data[begin].unicode())))
        ++begin;
    while (end > begin && pred(char32_t(data[end - 1].unicode())))
        --end;
    if (begin == 0 && end == s.size())
        return s;
    return s.mid(begin, end - begin);
}
} // namespace

QString trimmedWhitespaceAndNewlines(const QString& s) { return trimmedBy(s, isWhitespaceOrNewline); }

QString trimmedSpacesAndTabs(const QString& s) { return trimmedBy(s, isSpaceOrTab); }

} // namespace zelk::text
