// links: zelk_polish
#include "polish/cloud_polish_contract.h"
#include "polish/helper_protocol.h"
#include "polish/polish_guard.h"
#include "polish/runtime_table.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

// Whatever the helper, the cloud service or a release table says, the readers
// answer a value or nothing; the guard judges any pair of texts.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    zelk::HelperProtocol::LineBuffer buffer;
    for (const QByteArray& line : buffer.append(bytes))
        (void)zelk::HelperProtocol::decode(line);
    (void)zelk::CloudPolishContract::parse(bytes);
    (void)zelk::CloudPolishContract::parseMe(200, bytes);
    (void)zelk::CloudPolishContract::errorCode(bytes);
    (void)zelk::RuntimeTables::fromJson(bytes);
    const QString text = QString::fromUtf8(bytes);
    const qsizetype half = text.size() / 2;
    (void)zelk::PolishGuard::validate(text.left(half), text.mid(half), {}, 1.3);
    return 0;
}
