#pragma once

#include <QString>
#include <QTemporaryDir>

#include <vector>

namespace zelk::test {

// Tiny synthetic models from tools/gen-test-models.py, generated once per build
// tree (again when the generator changes). Subfolders: streaming,
// offline-silent, offline-talking, broken-not-onnx, broken-no-model-type,
// broken-no-vocab, broken-bad-state.
QString syntheticModelsDir();
QString syntheticModel(const QString& name);

// The `zelk` executable of this build tree (the model check's child).
QString zelkExecutable();

// A throwaway model root installed as ZELK_MODEL_DIR for the object's life.
class ModelRoot {
public:
    ModelRoot();
    ~ModelRoot();
    QString path() const { return m_dir.path(); }
    // Makes `source` appear under `name` in the root (a symbolic link).
    void install(const QString& name, const QString& source);

private:
    QTemporaryDir m_dir;
    QByteArray m_old;
};

// 16 kHz mono test signals.
std::vector<float> silence(double seconds);
std::vector<float> noise(double seconds, float amplitude = 0.3f, unsigned seed = 1);
std::vector<float> concat(std::initializer_list<std::vector<float>> parts);

// English speech made with espeak-ng and sox as 16 kHz mono samples; empty when
// the tools are missing.
std::vector<float> speech(const QString& text);

} // namespace zelk::test
