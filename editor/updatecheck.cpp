#include "editor/updatecheck.h"

#include "editor/updatecheck_download.h"
#include "editor/updatecheck_padfile.h"
#include "editor/updatecheck_version.h"

#include <QHostAddress>
#include <QNetworkProxyFactory>
#include <QSettings>
#include <QUrl>

#include <utility>

namespace orvella {
namespace {

// The desktop's proxy settings, except for this machine's own addresses.
class TSystemProxies : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        const QString host = query.peerHostName();
        if (host.compare(u"localhost", Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback())
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return systemProxyForQuery(query);
    }
};

QString FailureText(const QString& address) {
    return QStringLiteral("Couldn't download file version information from:\n") + address +
           QStringLiteral(" !");
}

QString QuestionText(const QString& version, const QString& siteName) {
    return QStringLiteral("There's a new version ") + version +
           QStringLiteral(" of this program\navaliable at: ") + siteName +
           QStringLiteral("\nDo you wan't to download it now ?");
}

QString LatestText(const QString& version) {
    return QStringLiteral("You already have a latest version ") + version +
           QStringLiteral(" of this program");
}

QString NotWebAddressText(const QString& version, const QString& address) {
    return QStringLiteral("There's a new version %1 of this program, but its download address "
                          "\"%2\" is not an http or https address; it is not opened.")
        .arg(version, address);
}

} // namespace

QString UpdateURL() {
    QSettings settings(QStringLiteral("Quendrix"), QStringLiteral("Orvella"));
    settings.beginGroup(QStringLiteral("Settings"));
    const QString url = settings.value(QStringLiteral("updateurl")).toString();
    return url.isEmpty() ? QString::fromLatin1(DefaultUpdateURL) : url;
}

TUpdateCheck::TUpdateCheck(QObject* parent)
    : QObject(parent)
    , UpdateAddress(UpdateURL())
    , SiteName(QUrl(UpdateAddress).host())
    , FDialogs(std::make_unique<TQtUpdateDialogs>(qobject_cast<QWidget*>(parent))) {
    Manager.setProxyFactory(new TSystemProxies);
}

TUpdateCheck::~TUpdateCheck() {
    delete Download.data();
}

void TUpdateCheck::SetDialogs(std::unique_ptr<TUpdateDialogs> dialogs) {
    FDialogs = std::move(dialogs);
}

void TUpdateCheck::Check() {
    if (Running) return;
    Running = true;
    Download = new TUpdateDownload(Manager, UpdateAddress, ReportFailures, Timeout, this);
    connect(Download, &TUpdateDownload::Finished, this, &TUpdateCheck::DownloadFinished);
    Download->Start();
}

// Every dialog runs a nested event loop in which the window may destroy the checker; alive tells.
void TUpdateCheck::DownloadFinished() {
    TUpdateDownload* download = Download;
    Download = nullptr;
    download->deleteLater();
    const QPointer<TUpdateCheck> alive(this);

    if (download->Outcome() == TUpdateDownload::TOutcome::ReadFailed) {
        FDialogs->ShowMessage(QStringLiteral("Unable to download file."));
        if (!alive) return;
    }
    // A failed download is reported when the check started with ReportFailures. Without it, a body
    // that merely ended short of its announced length (or announced none) is read all the same;
    // anything else that failed ends the check silently.
    if (download->Failed() && (download->ReportFailures() ||
                               download->Outcome() != TUpdateDownload::TOutcome::Incomplete)) {
        if (download->ReportFailures()) {
            FDialogs->Warning(FailureText(download->Address()));
            if (!alive) return;
        }
    } else {
        Evaluate(download->Data());
        if (!alive) return;
    }
    EndCheck();
}

void TUpdateCheck::Evaluate(const QByteArray& data) {
    if (OwnVersion.isEmpty()) return;
    const TPadInfo info = ReadPadFile(data);
    if (!info.Error.isEmpty()) {
        FDialogs->Error(info.Error);
        return;
    }
    const QPointer<TUpdateCheck> alive(this);
    if (OnGetURL) {
        OnGetURL(this, info.Version, info.DownloadURL);
        if (!alive) return;
    }
    const TVersionComparison comparison = CompareVersions(info.Version, OwnVersion);
    switch (comparison.Order) {
    case TVersionOrder::CannotCompare:
        FDialogs->Error(QStringLiteral("Cannot compare the versions: ") + comparison.Problem);
        break;
    case TVersionOrder::NotNewer:
        FDialogs->Inform(LatestText(info.Version));
        break;
    case TVersionOrder::Newer:
        if (!OfferDownload) break;
        if (!IsWebAddress(info.DownloadURL)) {
            FDialogs->Error(NotWebAddressText(info.Version, info.DownloadURL));
            break;
        }
        if (FDialogs->AskYesNo(QuestionText(info.Version, SiteName)) && alive)
            FDialogs->OpenUrl(QUrl(info.DownloadURL));
        break;
    }
}

void TUpdateCheck::EndCheck() {
    Running = false;
    emit CheckDone();
}

} // namespace orvella
