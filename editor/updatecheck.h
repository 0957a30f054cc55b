#pragma once
// TUpdateCheck, the update check behind Help > Check Updates: Check downloads the update
// information (a PAD file) in the background, then reads the latest version and the download
// address from it, compares the version with this program's own, and offers to open the download
// address in the browser.
//
// The download never blocks the window; the evaluation and every dialog run on the GUI thread when
// the download has ended. One check runs at a time: Check while a check is still downloading or
// showing its dialogs does nothing.
//
// Thread rule: GUI thread only. Destroying the checker ends a running download.

#include "editor/updatecheck_dialogs.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

namespace orvella {

class TUpdateDownload;

// The address of the update information when the settings name none.
inline constexpr char DefaultUpdateURL[] = "https://www.orvella.invalid/orvella.xml";

// The address of the update information: the value "updateurl" of the settings' group
// "Settings" when it is present and not empty, else DefaultUpdateURL.
QString UpdateURL();

class TUpdateCheck : public QObject {
    Q_OBJECT
public:
    using TOnGetURLEvent = std::function<void(TUpdateCheck* Sender, const QString& CurrentVersion,
                                              const QString& DownloadURL)>;

    // UpdateAddress starts as UpdateURL() and SiteName as its host; the dialogs are message
    // boxes over parent when it is a window.
    explicit TUpdateCheck(QObject* parent = nullptr);
    ~TUpdateCheck() override;

    // --- properties ---
    QString UpdateAddress;      // address of the update information (http or https)
    QString SiteName;           // shown in the question as where the new version is
    bool ReportFailures = true; // warn when the download fails
    bool OfferDownload = true;  // offer the download of a newer version
    // Called with the version and address read from the file, before any question.
    TOnGetURLEvent OnGetURL;
    // This program's version, four numbers separated by dots. Empty: a check ends silently after
    // its download.
    QString OwnVersion;
    // Milliseconds a download may take before it counts as failed.
    int Timeout = 15000;

    // Starts a check and returns at once; does nothing while a check runs.
    void Check();
    // True from Check until the check's last dialog has closed.
    bool Checking() const { return Running; }

    // Replaces the dialogs (tests answer them).
    void SetDialogs(std::unique_ptr<TUpdateDialogs> dialogs);
    TUpdateDialogs& Dialogs() { return *FDialogs; }

signals:
    // A check has ended, whatever its outcome.
    void CheckDone();

private:
    void DownloadFinished();
    void Evaluate(const QByteArray& data);
    void EndCheck();

    std::unique_ptr<TUpdateDialogs> FDialogs;
    QNetworkAccessManager Manager;
    QPointer<TUpdateDownload> Download;
    bool Running = false;
};

} // namespace orvella
