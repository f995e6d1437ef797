#include "asr/sherpa_model_file.h"

#include "asr/asr_error.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace zelk::SherpaModelFile {

QString dirName(const QString& dir) { return QFileInfo(QDir::cleanPath(dir)).fileName(); }

QString find(const QString& dir, const QString& prefix, const QString& suffix) {
    QStringList names;
    for (const QString& name : QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        if (name.startsWith(prefix) && name.endsWith(suffix))
            names << name;
    if (names.isEmpty())
        throw ASRError::modelNotFound(dirName(dir) + QLatin1Char('/') + prefix + QLatin1Char('*') + suffix);
    std::sort(names.begin(), names.end());
    const auto int8 = std::find_if(names.begin(), names.end(),
                                   [](const QString& n) { return n.contains(QLatin1String("int8")); });
    return QDir(dir).filePath(int8 != names.end() ? *int8 : names.first());
}

} // namespace zelk::SherpaModelFile
