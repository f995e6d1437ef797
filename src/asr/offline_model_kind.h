#pragma once

#include <QString>

#include <optional>

namespace zelk {

// Which offline model family a final-pass directory holds, with that directory.
struct OfflineModelKind {
    enum class Family { transducer, fireRedAED, fireRedCTC, qwen3 };

    Family family = Family::transducer;
    QString dir;

    static OfflineModelKind transducer(QString d) { return {Family::transducer, std::move(d)}; }
    static OfflineModelKind fireRedAED(QString d) { return {Family::fireRedAED, std::move(d)}; }
    static OfflineModelKind fireRedCTC(QString d) { return {Family::fireRedCTC, std::move(d)}; }
    static OfflineModelKind qwen3(QString d) { return {Family::qwen3, std::move(d)}; }

    bool operator==(const OfflineModelKind&) const = default;
};

// "transducer", "fireRedAED", "fireRedCTC", "qwen3" (the words the model check takes).
QString familyName(OfflineModelKind::Family family);
std::optional<OfflineModelKind::Family> familyFromName(const QString& name);

} // namespace zelk
