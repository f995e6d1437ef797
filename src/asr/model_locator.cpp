#include "asr/model_locator.h"

#include "core/folders.h"

#include <QDir>
#include <QFileInfo>

namespace zelk {

QString familyName(OfflineModelKind::Family family) {
    switch (family) {
    case OfflineModelKind::Family::transducer: return QStringLiteral("transducer");
    case OfflineModelKind::Family::fireRedAED: return QStringLiteral("fireRedAED");
    case OfflineModelKind::Family::fireRedCTC: return QStringLiteral("fireRedCTC");
    case OfflineModelKind::Family::qwen3: return QStringLiteral("qwen3");
    }
    return {};
}

std::optional<OfflineModelKind::Family> familyFromName(const QString& name) {
    for (auto f : {OfflineModelKind::Family::transducer, OfflineModelKind::Family::fireRedAED,
                   OfflineModelKind::Family::fireRedCTC, OfflineModelKind::Family::qwen3})
        if (familyName(f) == name)
            return f;
    return std::nullopt;
}

namespace ModelLocator {

QString cacheDir() { return folders::asrModelCache(); }

std::optional<QString> dir(const QString& name) {
    const QString path = QDir(cacheDir()).filePath(name);
    if (QFileInfo::exists(path))
        return path;
    return std::nullopt;
}

std::optional<QString> resolvedDir(const QString& name) {
    const QString root = qEnvironmentVariable(modelDirEnv);
    if (!root.isEmpty()) {
        const QString path = QDir(root).filePath(name);
        if (QFileInfo::exists(path))
            return path;
    }
    return dir(name);
}

std::optional<OfflineModelKind> preferredFinalPass() {
    if (auto d = resolvedDir(qwen3ModelName))
        return OfflineModelKind::qwen3(*d);
    if (auto d = resolvedDir(transducerModelName))
        return OfflineModelKind::transducer(*d);
    if (auto d = resolvedDir(fireRedModelName))
        return OfflineModelKind::fireRedAED(*d);
    return std::nullopt;
}

const QRegularExpression& asrModelToken() {
    static const QRegularExpression re(
        QStringLiteral(R"([\w.\-/\\:~]*(?:sherpa|x-?asr|qwen|paraformer|sense-?voice|whisper|zipformer|fire-?red|transducer|funasr|moonshine|parakeet)[\w.\-]*)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return re;
}

QString publicText(const QString& message) {
    QString out = message;
    out.replace(asrModelToken(), QStringLiteral("语音识别模型"));
    return out;
}

} // namespace ModelLocator
} // namespace zelk
