#include "editor/updatecheck_download.h"

#include "editor/updatecheck_version.h"

#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace orvella {
namespace {

// Qt's buffer between the socket and readyRead; with it a fast server cannot make one read
// larger than this.
constexpr qint64 ReadBufferBytes = 64 * 1024;

bool IsSuccessStatus(int status) {
    return status >= 200 && status < 300;
}

} // namespace

TUpdateDownload::TUpdateDownload(QNetworkAccessManager& manager, QString address, bool failureDlg,
                                 int timeoutMs, QObject* parent)
    : QObject(parent)
    , Manager(manager)
    , FAddress(std::move(address))
    , FFailureDlg(failureDlg) {
    Deadline.setSingleShot(true);
    Deadline.setInterval(std::max(timeoutMs, 1));
    connect(&Deadline, &QTimer::timeout, this, [this] {
        const QString reason =
            QStringLiteral("no complete answer within %1 ms").arg(Deadline.interval());
        Abort(ResponseBegan ? TOutcome::ReadFailed : TOutcome::Refused, reason);
    });
}

TUpdateDownload::~TUpdateDownload() {
    if (Reply) {
        disconnect(Reply, nullptr, this, nullptr);
        Reply->abort();
        Reply->deleteLater();
    }
}

void TUpdateDownload::Start() {
    if (!IsWebAddress(FAddress)) {
        Fail(TOutcome::Refused, QStringLiteral("not an http or https address"));
        QMetaObject::invokeMethod(this, &TUpdateDownload::Finished, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request{QUrl(FAddress)};
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Check updates"));
    // The body must arrive as sent, so that its length can be held against Content-Length.
    request.setRawHeader("Accept-Encoding", "identity");
    Reply = Manager.get(request);
    Reply->setReadBufferSize(ReadBufferBytes);
    connect(Reply, &QNetworkReply::metaDataChanged, this, &TUpdateDownload::CheckAnnouncedLength);
    connect(Reply, &QNetworkReply::readyRead, this, &TUpdateDownload::ReadBody);
    connect(Reply, &QNetworkReply::finished, this, &TUpdateDownload::ReplyFinished);
    Deadline.start();
}

// The response head has arrived: from here on a failure is a failed read.
void TUpdateDownload::CheckAnnouncedLength() {
    if (FOutcome != TOutcome::Running) return;
    if (IsSuccessStatus(Reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt()))
        ResponseBegan = true;
    const QVariant length = Reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > MaxBytes)
        Abort(TOutcome::Refused, QStringLiteral("the body is announced as %1 bytes, more than %2")
                                     .arg(length.toLongLong())
                                     .arg(MaxBytes));
}

void TUpdateDownload::ReadBody() {
    if (FOutcome != TOutcome::Running) return;
    const int status = Reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (IsSuccessStatus(status)) ResponseBegan = true;
    const QByteArray piece = Reply->readAll();
    if (Buffer.size() + piece.size() > MaxBytes) {
        Abort(TOutcome::Refused, QStringLiteral("the body is larger than %1 bytes").arg(MaxBytes));
        return;
    }
    Buffer += piece;
}

void TUpdateDownload::ReplyFinished() {
    Deadline.stop();
    if (FOutcome == TOutcome::Running) {
        ReadBody();
        if (FOutcome == TOutcome::Running) {
            const int status = Reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            const QNetworkReply::NetworkError error = Reply->error();
            const QVariant length = Reply->header(QNetworkRequest::ContentLengthHeader);
            if (status != 0 && !IsSuccessStatus(status))
                Fail(TOutcome::Refused, QStringLiteral("HTTP status %1").arg(status));
            else if (error == QNetworkReply::NoError && !length.isValid())
                Fail(TOutcome::Incomplete, QStringLiteral("no Content-Length"));
            else if (error == QNetworkReply::NoError && length.toLongLong() != Buffer.size())
                Fail(TOutcome::Incomplete, QStringLiteral("%1 bytes received of %2 announced")
                                               .arg(Buffer.size())
                                               .arg(length.toLongLong()));
            else if (error == QNetworkReply::NoError)
                FOutcome = TOutcome::Complete;
            else if (ResponseBegan && error == QNetworkReply::RemoteHostClosedError)
                Fail(TOutcome::Incomplete, QStringLiteral("the server ended the body after %1 "
                                                          "bytes")
                                               .arg(Buffer.size()));
            else
                Fail(ResponseBegan ? TOutcome::ReadFailed : TOutcome::Refused,
                     Reply->errorString());
        }
    }
    disconnect(Reply, nullptr, this, nullptr);
    Reply->deleteLater();
    Reply = nullptr;
    QMetaObject::invokeMethod(this, &TUpdateDownload::Finished, Qt::QueuedConnection);
}

void TUpdateDownload::Fail(TOutcome outcome, const QString& reason) {
    FOutcome = outcome;
    FReason = reason;
}

// Aborting makes the reply finish at once; ReplyFinished then keeps this outcome.
void TUpdateDownload::Abort(TOutcome outcome, const QString& reason) {
    Fail(outcome, reason);
    if (Reply) Reply->abort();
}

} // namespace orvella
