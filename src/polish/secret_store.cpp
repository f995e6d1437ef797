#include "polish/secret_store.h"

#include "core/log.h"

#include <QCoroSignal>

#include <qt6keychain/keychain.h>

namespace zelk {

namespace {

// Runs a configured job to its end; the job deletes itself afterwards.
Task<QKeychain::Error> runJob(QKeychain::Job* job) {
    job->setAutoDelete(false);
    job->start();
    co_await qCoro(job, &QKeychain::Job::finished);
    const QKeychain::Error error = job->error();
    if (error != QKeychain::NoError && error != QKeychain::EntryNotFound)
        qCCritical(Log::app).noquote() << QStringLiteral("密钥环操作失败：%1").arg(job->errorString());
    job->deleteLater();
    co_return error;
}

} // namespace

Task<SecretStore::ReadResult> KeychainSecretStore::read(const QString& key) {
    auto* job = new QKeychain::ReadPasswordJob(serviceName);
    job->setKey(key);
    const QKeychain::Error error = co_await runJob(job);
    if (error == QKeychain::EntryNotFound)
        co_return ReadResult{ReadStatus::absent, {}};
    if (error != QKeychain::NoError)
        co_return ReadResult{ReadStatus::failed, {}};
    co_return ReadResult{ReadStatus::found, job->textData()};
}

Task<bool> KeychainSecretStore::write(const QString& key, const QString& value) {
    auto* job = new QKeychain::WritePasswordJob(serviceName);
    job->setKey(key);
    job->setTextData(value);
    co_return co_await runJob(job) == QKeychain::NoError;
}

Task<bool> KeychainSecretStore::remove(const QString& key) {
    auto* job = new QKeychain::DeletePasswordJob(serviceName);
    job->setKey(key);
    const QKeychain::Error error = co_await runJob(job);
    co_return error == QKeychain::NoError || error == QKeychain::EntryNotFound;
}

} // namespace zelk
