#include "polish/runtime_table.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace zelk {

QUrl RuntimeTable::officialUrl(const RuntimeWheel& wheel) const {
    const QStringList parts = wheel.file.split(u'-', Qt::SkipEmptyParts);
    const QString name = parts.value(0);
    const QString pythonTag = parts.value(2);
    QUrl url = packageIndexHost;
    QString base = url.path();
    while (base.endsWith(u'/'))
        base.chop(1);
    url.setPath(base + QStringLiteral("/packages/%1/%2/%3/%4").arg(pythonTag, name.left(1), name, wheel.file));
    return url;
}

RuntimeArtifact RuntimeTable::artifact(const RuntimeWheel& wheel) const {
    return {wheel.file, wheel.bytes, wheel.sha256, wheelMirrorPrefix + wheel.file, officialUrl(wheel)};
}

const RuntimeTable& RuntimeTables::macOS() {
    static const RuntimeTable table{
        QStringLiteral("macos-arm64"),
        {QStringLiteral("cpython-3.12.16+20261026-aarch64-apple-darwin-install_only.tar.gz"), 25172086,
         QStringLiteral("fbf4afef53c2a6b72bb741bc06d5671a9dfaf87bd84e5aa73ac9b3d0d589f14e"),
         QStringLiteral("local-polish/mac/python/cpython-3.12.16%2B20261026-aarch64-apple-darwin-install_only.tar.gz"),
         QUrl(QStringLiteral("https://github.com/astral-sh/python-build-standalone/releases/download/20261026/"
                             "cpython-3.12.16%2B20261026-aarch64-apple-darwin-install_only.tar.gz"))},
        {
        {QStringLiteral("mlx_lm-0.32.2-py3-none-any.whl"), 546040, QStringLiteral("5c0991248cfff5872503d74f466d2532dd8cb7fb3670cb9be7a06d7305dadc04"), std::nullopt},
        {QStringLiteral("huggingface_hub-2.2.0-py3-none-any.whl"), 839884, QStringLiteral("1667f145dc56dc210d60966069397df9ecfca9607a5d43db88b308c89dae56b3"), std::nullopt},
        {QStringLiteral("click-8.5.0-py3-none-any.whl"), 125251, QStringLiteral("255bc9599cf7748b4b1a446ccc735421bd08a2ae529a8b88597d3de5664ee360"), std::nullopt},
        {QStringLiteral("hf_xet-1.7.0-cp38-abi3-macosx_11_0_arm64.whl"), 3560352, QStringLiteral("59fba37039233c7fcbe196817d6cdcf1b40dfb17b410f229d85b0cf0a1848da4"), std::nullopt},
        {QStringLiteral("httpx2-2.15.1-py3-none-any.whl"), 96411, QStringLiteral("75841cd83d16b417f7d6da8f2089ce8120806efdbf96af37d46c5129c49015be"), std::nullopt},
        {QStringLiteral("httpcore2-2.15.1-py3-none-any.whl"), 85055, QStringLiteral("730f603058c260a3288378217b464713350c23e3b8fe8bba753701054032d98a"), std::nullopt},
        {QStringLiteral("anyio-4.15.1-py3-none-any.whl"), 132079, QStringLiteral("6152fdbbf9a77fdec97731721bebf7c4c44f7c29b424b0065826173efc7ed101"), std::nullopt},
        {QStringLiteral("filelock-4.2.4-py3-none-any.whl"), 162475, QStringLiteral("301241438c57936ef93f4243a94f2559022268bfcf9b375a9a72eb0f8db8358e"), std::nullopt},
        {QStringLiteral("fsspec-2026.9.0-py3-none-any.whl"), 221738, QStringLiteral("8dd6e646e99ea382bd85f97a45e6b526a442d79423a7dc673f1e2756d05fcb5f"), std::nullopt},
        {QStringLiteral("h11-0.16.0-py3-none-any.whl"), 37515, QStringLiteral("63cf8bbe7522de3bf65932fda1d9c2772064ffb3dae62d55932da54b31cb6c86"), std::nullopt},
        {QStringLiteral("idna-3.20-py3-none-any.whl"), 69583, QStringLiteral("ab7ae7122974553370f0bdb919e1a960b2cd1bc1ef0276416d896db81c14582c"), std::nullopt},
        {QStringLiteral("mlx-0.32.4-cp312-cp312-macosx_14_0_arm64.whl"), 667597, QStringLiteral("ff1d7be54758ea3a875b8fe54eff13bed17ad9566505e301f5d7851bf869680f"), 14},
        {QStringLiteral("mlx-0.32.4-cp312-cp312-macosx_15_0_arm64.whl"), 667599, QStringLiteral("f0604cb3015091f285c79c7b7dbfcabcfa9948248728c7bab6e0263513c3d3fe"), 15},
        {QStringLiteral("mlx-0.32.4-cp312-cp312-macosx_26_0_arm64.whl"), 667622, QStringLiteral("7928869076db6267ab3ebdb253b2c80be1e738b3032c783170bd1d59d460c578"), 26},
        {QStringLiteral("mlx_metal-0.32.4-py3-none-macosx_14_0_arm64.whl"), 44958619, QStringLiteral("8019b2db622599267d66cc168b2f0dbf5af929790a6c3b3913e00eabc42a7947"), 14},
        {QStringLiteral("mlx_metal-0.32.4-py3-none-macosx_15_0_arm64.whl"), 44942974, QStringLiteral("9f0a3cc26d89724434d9684932fc6f3e4e83669d2a895d858ed2c8a55eb84e8b"), 15},
        {QStringLiteral("mlx_metal-0.32.4-py3-none-macosx_26_0_arm64.whl"), 78106861, QStringLiteral("514df92d41a286895d2564b4b18f4da45096bd7a4a0c47e1042f345ad5a7f936"), 26},
        {QStringLiteral("packaging-26.3-py3-none-any.whl"), 129956, QStringLiteral("d7193f7c8e4e93f444fde0262bf90af30e16fa0ad0ad44cb553c87339b23cd1c"), std::nullopt},
        {QStringLiteral("pyyaml-6.0.3-cp312-cp312-macosx_11_0_arm64.whl"), 173973, QStringLiteral("fc09d0aa354569bc501d4e787133afc08552722d3ab34836a80547331bb5d4a0"), std::nullopt},
        {QStringLiteral("tqdm-4.70.1-py3-none-any.whl"), 80199, QStringLiteral("c293e525e6fef9c20e8728fd4612df02a0aa31bb5fe91ecd93e123b1b7bffa73"), std::nullopt},
        {QStringLiteral("transformers-5.20.2-py3-none-any.whl"), 12844921, QStringLiteral("7ae75dbc1fb3922aff1b6c97b9e5479d6cf26fd86a8866bfb71324190479f807"), std::nullopt},
        {QStringLiteral("tokenizers-0.23.3-cp310-abi3-macosx_11_0_arm64.whl"), 3101381, QStringLiteral("68649e97d5b43c44c031d8d848874a6eecae8f8fe40ea989aa777a5a83aca716"), std::nullopt},
        {QStringLiteral("numpy-2.5.4-cp312-cp312-macosx_14_0_arm64.whl"), 5451717, QStringLiteral("9cb18a327b49c5c337f972b03682f6a49855525faaf3c0d3e9c96cd0fd8880a8"), std::nullopt},
        {QStringLiteral("regex-2026.9.29-cp312-cp312-macosx_11_0_arm64.whl"), 293633, QStringLiteral("f57dc6b8fef170f105d2cf5cdce254f47b137d7755086cf7050f47e16582abba"), std::nullopt},
        {QStringLiteral("safetensors-0.8.0-cp310-abi3-macosx_11_0_arm64.whl"), 484562, QStringLiteral("c80201d22cbf405b80647a60ada77bba06c8fba2da2743ba1e89cdcc39a81f25"), std::nullopt},
        {QStringLiteral("truststore-0.10.5-py3-none-any.whl"), 19017, QStringLiteral("9aaaedaefaf06d8b206278cf8b5012bc897f485a874503501e12d776df78951c"), std::nullopt},
        {QStringLiteral("typing_extensions-4.16.0-py3-none-any.whl"), 45571, QStringLiteral("481caa481374e813c1b176ada14e97f1f67a4539ce9cfeb3f350d78d6370c2e8"), std::nullopt},
        {QStringLiteral("jinja2-3.1.6-py3-none-any.whl"), 134899, QStringLiteral("85ece4451f492d0c13c5dd7c13a64681a86afae63a5f347908daf103ce6d2f67"), std::nullopt},
        {QStringLiteral("markupsafe-3.0.4-cp312-cp312-macosx_11_0_arm64.whl"), 12050, QStringLiteral("0930db9bdc62d22944e10b066448bb65dc9abe9112880c7cab8da54db4284d5f"), std::nullopt},
        {QStringLiteral("protobuf-7.36.2-cp310-abi3-macosx_10_9_universal2.whl"), 456039, QStringLiteral("cbc70b17ee27e28894c7fee8bb04be1abead49e936bc70eb60052531eee2079e"), std::nullopt},
        {QStringLiteral("sentencepiece-0.2.2-cp312-cp312-macosx_11_0_arm64.whl"), 1347176, QStringLiteral("38111ed1f79268f399c505028023d5eaaf0ab4e5eafceb709468b0d3323e7838"), std::nullopt},
        {QStringLiteral("typer-0.27.3-py3-none-any.whl"), 123312, QStringLiteral("e50022f28b82a86313e54501317a1db64bf8f8d036ff8cfe5ca7e47675454aff"), std::nullopt},
        {QStringLiteral("annotated_doc-0.0.5-py3-none-any.whl"), 5302, QStringLiteral("117bac03a25ede5df5440e855b32d556049ca169ead221505badf432fed4b101"), std::nullopt},
        {QStringLiteral("rich-15.0.0-py3-none-any.whl"), 310654, QStringLiteral("33bd4ef74232fb73fe9279a257718407f169c09b78a87ad3d296f548e27de0bb"), std::nullopt},
        {QStringLiteral("pygments-2.21.0-py3-none-any.whl"), 1250147, QStringLiteral("2363c69b61c4a97c838da3b130dcd6468f4848992b21a82f2a63ec34377137d9"), std::nullopt},
        {QStringLiteral("markdown_it_py-4.2.0-py3-none-any.whl"), 91687, QStringLiteral("9f7ebbcd14fe59494226453aed97c1070d83f8d24b6fc3a3bcf9a38092641c4a"), std::nullopt},
        {QStringLiteral("mdurl-0.1.2-py3-none-any.whl"), 9979, QStringLiteral("84008a41e51615a49fc9966191ff91509e3c40b939176e643fd50a5c2196b8f8"), std::nullopt},
        {QStringLiteral("shellingham-1.5.4-py2.py3-none-any.whl"), 9755, QStringLiteral("7ecfff8f2fd72616f7481040475a65b2bf8af90a56c89140852d1120324e8686"), std::nullopt},
        },
        QStringLiteral("local-polish/mac/wheels/"),
    };
    return table;
}

namespace {

bool readArtifactFields(const QJsonObject& o, QString& file, qint64& bytes, QString& sha256, QString* error) {
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    file = o.value(QLatin1String("file")).toString();
    const QJsonValue b = o.value(QLatin1String("bytes"));
    sha256 = o.value(QLatin1String("sha256")).toString();
    if (file.isEmpty() || file.contains(u'/') || file.startsWith(u'.') || !b.isDouble() || b.toDouble() <= 0 ||
        !hex.match(sha256).hasMatch()) {
        if (error)
            *error = QStringLiteral("bad artifact entry: %1").arg(file);
        return false;
    }
    bytes = static_cast<qint64>(b.toDouble());
    return true;
}

} // namespace

std::optional<RuntimeTable> RuntimeTables::fromJson(const QByteArray& json, QString* error) {
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (!doc.isObject()) {
        if (error)
            *error = parseError.errorString();
        return std::nullopt;
    }
    const QJsonObject o = doc.object();
    RuntimeTable table;
    table.platform = o.value(QLatin1String("platform")).toString();
    const QJsonObject py = o.value(QLatin1String("python")).toObject();
    if (!readArtifactFields(py, table.python.file, table.python.bytes, table.python.sha256, error))
        return std::nullopt;
    table.python.mirrorPath = py.value(QLatin1String("mirrorPath")).toString();
    table.python.official = QUrl(py.value(QLatin1String("official")).toString());
    table.wheelMirrorPrefix = o.value(QLatin1String("wheelMirrorPrefix")).toString();
    if (o.contains(QLatin1String("packageIndexHost")))
        table.packageIndexHost = QUrl(o.value(QLatin1String("packageIndexHost")).toString());
    for (const QJsonValue& w : o.value(QLatin1String("wheels")).toArray()) {
        RuntimeWheel wheel;
        if (!readArtifactFields(w.toObject(), wheel.file, wheel.bytes, wheel.sha256, error))
            return std::nullopt;
        table.wheels.append(wheel);
    }
    return table;
}

QString RuntimeTables::linuxTablePath() {
    if (const QByteArray env = qgetenv("ZELK_RUNTIME_TABLE"); !env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../share/zelk/runtime-linux-x86_64.json");
}

std::optional<RuntimeTable> RuntimeTables::current() {
#if defined(Q_OS_MACOS)
    return macOS();
#else
    QFile file(linuxTablePath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return fromJson(file.readAll());
#endif
}

} // namespace zelk
