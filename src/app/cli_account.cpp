#include "app/cli_account.h"

#include "app/cli.h"
#include "core/sync_wait.h"
#include "polish/cloud_account.h"
#include "polish/cloud_polish_service.h"

#include <QFile>

#include <cstdio>

namespace zelk::cli {

namespace {

const char* const help =
    "Usage: zelk account login    read an access token from standard input and keep it in the secret store\n"
    "       zelk account logout   remove the token from the secret store\n"
    "       zelk account status   ask the cloud polish service what it offers this account\n"
    "\n"
    "The token is kept by the desktop's Secret Service under the service name \"cn.zelk.mac\"; it is\n"
    "never printed. The service URL is $ZELK_CLOUD_BASE_URL, else the \"cloudBaseURL\" preference,\n"
    "else the built-in default.\n";

const char* yesNo(bool b) { return b ? "yes" : "no"; }

int login() {
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly)) {
        std::fprintf(stderr, "zelk account login: cannot read standard input\n");
        return failure;
    }
    // A token is one line; more than that is not a token.
    const QString token = QString::fromUtf8(input.read(64 * 1024)).trimmed();
    if (token.isEmpty() || token.contains(u'\n') || token.contains(u' ')) {
        std::fprintf(stderr, "zelk account login: expected one token on standard input\n");
        return failure;
    }
    CloudPolishService::shared();
    if (!syncWait(CloudAccount::shared().signIn(token))) {
        std::fprintf(stderr, "zelk account login: the secret store could not be written (is a keyring running?)\n");
        return failure;
    }
    std::printf("signed in\n");
    return ok;
}

int logout() {
    CloudPolishService::shared(); // resets with the account
    if (!syncWait(CloudAccount::shared().signOut())) {
        std::fprintf(stderr, "zelk account logout: the secret store could not be changed\n");
        return failure;
    }
    std::printf("signed out\n");
    return ok;
}

int status() {
    CloudAccount& account = CloudAccount::shared();
    CloudPolishService& service = CloudPolishService::shared();
    std::printf("service: %s\n", qPrintable(account.baseUrl().toString()));
    const bool signedIn = syncWait(account.token()).has_value();
    std::printf("signed in: %s\n", yesNo(signedIn));
    if (!signedIn)
        return ok;
    bool rejected = false;
    QObject::connect(&account, &CloudAccount::tokenRejected, [&] { rejected = true; });
    syncWait(service.refresh());
    if (rejected) {
        std::printf("polish: token rejected\n");
        return failure;
    }
    if (service.isUnsupported()) {
        std::printf("polish: unsupported\n");
        return ok;
    }
    const auto& s = service.status();
    if (!s) {
        std::printf("polish: unknown (no answer from the service)\n");
        return failure;
    }
    std::printf("polish: %s\n", s->active ? "active" : "inactive");
    std::printf("state: %s\n", qPrintable(s->state));
    std::printf("used: %lld\n", static_cast<long long>(s->used));
    std::printf("quota: %lld\n", static_cast<long long>(s->quota));
    std::printf("available in region: %s\n", yesNo(s->availableInRegion));
    std::printf("serving plan: %s\n", service.servingPlan() ? qPrintable(rawValue(service.servingPlan()->option)) : "none");
    return ok;
}

} // namespace

int runAccount(const QStringList& args) {
    if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        std::fputs(help, stdout);
        return ok;
    }
    if (args.size() != 1) {
        std::fputs(help, stderr);
        return usage;
    }
    if (args[0] == QLatin1String("login"))
        return login();
    if (args[0] == QLatin1String("logout"))
        return logout();
    if (args[0] == QLatin1String("status"))
        return status();
    std::fputs(help, stderr);
    return usage;
}

} // namespace zelk::cli
