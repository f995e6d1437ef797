// links: zelk_core
#include "core/preference_store.h"
#include "core/settings.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

// Any bytes as a preferences file: loading and every typed read must stay safe.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("preferences.json"));
    QFile::remove(path);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    zelk::PreferenceStore store(path);
    zelk::Settings::setDefaults(&store);
    (void)zelk::Settings::mode();
    (void)zelk::Settings::toneLevel();
    (void)zelk::Settings::capsuleSlots();
    (void)zelk::Settings::capsuleOrigin();
    (void)zelk::Settings::toggleKey();
    (void)zelk::Settings::appModeMap();
    (void)zelk::Settings::updateCheckedAt();
    zelk::Settings::setDefaults(nullptr);
    if (auto preserved = store.preservedCorruptFile())
        QFile::remove(*preserved);
    return 0;
}
