#pragma once

#include "core/preference_store.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace zelk::test {

// A throwaway HOME with XDG folders under it, and a fresh preference store
// installed as Settings::defaults() for the life of the object.
class TestHome {
public:
    TestHome();
    ~TestHome();
    QString path() const { return m_dir.path(); }
    PreferenceStore& preferences() { return *m_store; }
    // Rebuilds the store from its file (as a new launch would).
    PreferenceStore& reopenPreferences();

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome, m_oldConfig, m_oldData, m_oldCache;
    std::unique_ptr<PreferenceStore> m_store;
};

// Folder of the project's sources and of shared test data.
QString sourceDir();
// The real small English streaming model, or an empty string when absent.
QString sharedModelsDir();
// Spins the event loop until `pred` holds or `timeoutMs` passes; answers pred().
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 5000);

} // namespace zelk::test
