#pragma once

#include <QString>

// Picks a model file inside a model directory.
namespace zelk::SherpaModelFile {

// The first name (in text order) starting with `prefix` and ending with
// `suffix`, preferring one that contains "int8". Throws ASRError::modelNotFound
// ("<dir name>/<prefix>*<suffix>") when there is none.
QString find(const QString& dir, const QString& prefix, const QString& suffix);

// The directory's last path component ("…/models/name/" gives "name").
QString dirName(const QString& dir);

} // namespace zelk::SherpaModelFile
