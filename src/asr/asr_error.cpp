#include "asr/asr_error.h"

namespace zelk {

ASRError::ASRError(Case c, QString payload) : m_case(c), m_payload(std::move(payload)) {
    m_what = logDetail().toUtf8();
}

QString ASRError::userMessage() const {
    switch (m_case) {
    case Case::modelNotFound:
        return QStringLiteral("语音识别模型未找到或不完整，请在设置中重新下载");
    case Case::createFailed:
        return QStringLiteral("语音识别引擎启动失败，请在设置中重新下载语音识别模型");
    }
    return {};
}

QString ASRError::logDetail() const {
    const QString name = m_case == Case::modelNotFound ? QStringLiteral("modelNotFound") : QStringLiteral("createFailed");
    return name + QLatin1Char('(') + m_payload + QLatin1Char(')');
}

} // namespace zelk
