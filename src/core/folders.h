#pragma once

#include <QString>

namespace zelk::folders {

// XDG base folders, read from the environment at each call (so tests can point
// them at a throwaway HOME).
QString home();
QString configHome();   // $XDG_CONFIG_HOME or ~/.config
QString dataHome();     // $XDG_DATA_HOME or ~/.local/share
QString cacheHome();    // $XDG_CACHE_HOME or ~/.cache

// Zelk's own places.
QString preferencesFile();    // <config>/Zelk/preferences.json
QString applicationSupport(); // <data>/Zelk
QString asrModelCache();      // ~/.cache/zelk-asr
QString llmCache();           // ~/.cache/zelk-llm

} // namespace zelk::folders
