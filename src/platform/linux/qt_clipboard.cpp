#include "platform/linux/qt_clipboard.h"

#include "core/log.h"
#include "platform/linux/x11_windows.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace zelk {

namespace {

QClipboard* board() { return QGuiApplication::clipboard(); }

const QMimeData* contents() { return board()->mimeData(QClipboard::Clipboard); }

} // namespace

QtClipboard::QtClipboard(QObject* parent) : QObject(parent) {
    connect(board(), &QClipboard::dataChanged, this, [this] { ++m_changes; });
}

bool QtClipboard::ownerAnswers() {
    if (board()->ownsClipboard())
        return true;
    // The owner window is asked too: the change signal may not have been
    // delivered yet when a new owner has just taken the clipboard.
    const unsigned long owner = x11::selectionOwner(x11::display(), "CLIPBOARD");
    if (m_probedAt != m_changes || owner != m_probedOwner) {
        m_probedAt = m_changes;
        m_probedOwner = owner;
        m_ownerAnswered = x11::selectionOwnerAnswers(x11::display(), "CLIPBOARD", 300);
        if (!m_ownerAnswered)
            qCInfo(Log::app) << "剪贴板的持有程序没有应答，按空剪贴板处理";
    }
    return m_ownerAnswered;
}

QList<QStringList> QtClipboard::itemTypes() {
    if (!ownerAnswers())
        return {};
    const QMimeData* mime = contents();
    if (!mime)
        return {};
    const QStringList formats = mime->formats();
    if (formats.isEmpty())
        return {};
    return {formats};
}

std::optional<QByteArray> QtClipboard::data(int index, const QString& type) {
    if (!ownerAnswers())
        return std::nullopt;
    const QMimeData* mime = contents();
    if (index != 0 || !mime || !mime->hasFormat(type))
        return std::nullopt;
    QByteArray bytes = mime->data(type);
    if (bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

std::optional<QString> QtClipboard::text() {
    if (!ownerAnswers())
        return std::nullopt;
    const QMimeData* mime = contents();
    if (!mime || !mime->hasText())
        return std::nullopt;
    return mime->text();
}

void QtClipboard::clear() { board()->clear(QClipboard::Clipboard); }

void QtClipboard::setText(const QString& text) { board()->setText(text, QClipboard::Clipboard); }

void QtClipboard::writeItems(const QList<Item>& items) {
    auto* mime = new QMimeData;
    for (const Item& item : items) {
        for (const auto& [type, bytes] : item) {
            if (!mime->hasFormat(type))
                mime->setData(type, bytes);
        }
    }
    board()->setMimeData(mime, QClipboard::Clipboard);
}

} // namespace zelk
