#pragma once

#include <QString>

#include <exception>

namespace zelk {

// The two failures of the recognition layer: a model file that is not there, and
// an engine the library refused to build. Thrown by the engines and the model
// file search; callers show userMessage() (through ModelLocator::publicText) and
// log logDetail().
class ASRError : public std::exception {
public:
    enum class Case { modelNotFound, createFailed };

    static ASRError modelNotFound(QString what) { return ASRError(Case::modelNotFound, std::move(what)); }
    static ASRError createFailed(QString what) { return ASRError(Case::createFailed, std::move(what)); }

    Case errorCase() const { return m_case; }
    const QString& payload() const { return m_payload; }

    QString userMessage() const;
    QString logDetail() const;
    const char* what() const noexcept override { return m_what.constData(); }

    bool operator==(const ASRError& o) const { return m_case == o.m_case && m_payload == o.m_payload; }

private:
    ASRError(Case c, QString payload);
    Case m_case;
    QString m_payload;
    QByteArray m_what;
};

} // namespace zelk
