#pragma once
// TUpdateDownload: one asynchronous HTTP GET of the update information into a buffer of its own,
// with the agent name "Check updates". It succeeds only when the body is exactly as long as the
// announced Content-Length. It always ends: a download that has not finished within Timeout
// milliseconds, or whose body is (or is announced to be) larger than MaxBytes, is aborted and
// counts as failed. Only http and https addresses are fetched.
// Thread rule: GUI thread only (it lives on the thread of its QNetworkAccessManager); Finished is
// emitted from that thread's event loop.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;

namespace orvella {

class TUpdateDownload : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 MaxBytes = 1024 * 1024;

    enum class TOutcome {
        Running,
        Complete,   // the body has exactly the announced length
        Incomplete, // the server ended the body early, or announced no length
        ReadFailed, // the transfer broke or stalled after the response began
        Refused,    // no connection, an HTTP error status, a stall before any response,
                    // an oversized body, or an address that is not http or https
    };

    // ReportFailures is the checker's value when the check started, kept with the download.
    TUpdateDownload(QNetworkAccessManager& manager, QString address, bool failureDlg, int timeoutMs,
                    QObject* parent = nullptr);
    ~TUpdateDownload() override;

    // Sends the request; Finished follows, never from within Start.
    void Start();

    const QString& Address() const { return FAddress; }
    bool ReportFailures() const { return FFailureDlg; }
    TOutcome Outcome() const { return FOutcome; }
    bool Failed() const { return FOutcome != TOutcome::Complete; }
    // The bytes received (also after an early end of the body).
    const QByteArray& Data() const { return Buffer; }
    // Why it failed, in words (for diagnostics; the user sees the checker's messages).
    const QString& Reason() const { return FReason; }

signals:
    void Finished();

private:
    void ReadBody();
    void CheckAnnouncedLength();
    void ReplyFinished();
    void Fail(TOutcome outcome, const QString& reason);
    void Abort(TOutcome outcome, const QString& reason);

    QNetworkAccessManager& Manager;
    QString FAddress;
    bool FFailureDlg;
    QPointer<QNetworkReply> Reply;
    QTimer Deadline;
    QByteArray Buffer;
    bool ResponseBegan = false;
    TOutcome FOutcome = TOutcome::Running;
    QString FReason;
};

} // namespace orvella
