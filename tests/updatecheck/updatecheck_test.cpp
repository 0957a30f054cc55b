// The update check end to end against an HTTP server on the loopback interface: what each kind of
// answer makes the checker show, ask and open, and that every download ends.
#include "editor/updatecheck.h"
#include "loopbackserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

// Readable failures: a QString as its text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace orvella {
namespace {

using test::LoopbackServer;

// Records every dialog as "kind: text" and answers the question with Yes unless told otherwise.
class RecordingUpdateDialogs : public TUpdateDialogs {
public:
    std::vector<QString> Log;
    bool AnswerYes = true;
    bool OpenSucceeds = true;
    std::function<void()> DuringDialog; // runs inside each dialog, as a nested event loop would

    void ShowMessage(const QString& text) override { Record("message", text); }
    void Warning(const QString& text) override { Record("warning", text); }
    void Inform(const QString& text) override { Record("inform", text); }
    bool AskYesNo(const QString& text) override {
        Record("ask", text);
        return AnswerYes;
    }
    void Error(const QString& text) override { Record("error", text); }
    bool OpenUrl(const QUrl& url) override {
        Record("open", url.toString());
        return OpenSucceeds;
    }

private:
    void Record(const char* kind, const QString& text) {
        Log.push_back(QString::fromLatin1(kind) + ": " + text);
        if (DuringDialog) DuringDialog();
    }
};

QByteArray Pad(const QByteArray& version, const QByteArray& url) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<XML_DIZ_INFO>\n"
           "<Program_Info><Program_Name>Orvella</Program_Name><Program_Version>" +
           version +
           "</Program_Version></Program_Info>\n"
           "<Web_Info><Download_URLs><Primary_Download_URL>" +
           url + "</Primary_Download_URL></Download_URLs></Web_Info>\n</XML_DIZ_INFO>\n";
}

const QString DownloadPage = "https://www.orvella.invalid/download.html";
const QString Question = "ask: There's a new version 3.0.4.0 of this program\n"
                         "avaliable at: www.orvella.invalid\n"
                         "Do you wan't to download it now ?";

class UpdateCheckTest : public testing::Test {
protected:
    UpdateCheckTest() {
        Checker.UpdateAddress = Server.Url();
        Checker.SiteName = "www.orvella.invalid";
        Checker.OwnVersion = "3.0.3.1";
        Checker.SetDialogs(std::unique_ptr<TUpdateDialogs>(Dialogs));
        Checker.OnGetURL = [this](TUpdateCheck* sender, const QString& version,
                                  const QString& url) {
            EXPECT_EQ(sender, &Checker);
            Dialogs->Log.push_back("got: " + version + " " + url);
        };
        Server.Answer.Body = Pad("3.0.4.0", DownloadPage.toUtf8());
    }

    // Starts a check and runs the event loop until it has ended (at most ten seconds).
    bool RunCheck() {
        QSignalSpy done(&Checker, &TUpdateCheck::CheckDone);
        Checker.Check();
        return done.wait(10000) && !Checker.Checking();
    }

    QString FailureWarning() const {
        return "warning: Couldn't download file version information from:\n" + Server.Url() + " !";
    }

    LoopbackServer Server;
    TUpdateCheck Checker;
    RecordingUpdateDialogs* Dialogs = new RecordingUpdateDialogs; // owned by Checker
};

using Log = std::vector<QString>;

TEST_F(UpdateCheckTest, ANewerVersionIsOfferedAndYesOpensItsAddress) {
    ASSERT_TRUE(RunCheck());
    EXPECT_EQ(Dialogs->Log,
              (Log{"got: 3.0.4.0 " + DownloadPage, Question, "open: " + DownloadPage}));
    EXPECT_TRUE(Server.LastRequest.startsWith("GET /orvella.xml HTTP/1.1\r\n"));
    EXPECT_TRUE(Server.LastRequest.contains("\r\nUser-Agent: Check updates\r\n"))
        << Server.LastRequest.constData();

    Dialogs->Log.clear();
    Dialogs->AnswerYes = false;
    ASSERT_TRUE(RunCheck());
    EXPECT_EQ(Dialogs->Log, (Log{"got: 3.0.4.0 " + DownloadPage, Question}));
    EXPECT_EQ(Server.Requests, 2);
}

TEST_F(UpdateCheckTest, WithoutOfferDownloadANewerVersionOnlyReachesOnGetURL) {
    Checker.OfferDownload = false;
    ASSERT_TRUE(RunCheck());
    EXPECT_EQ(Dialogs->Log, (Log{"got: 3.0.4.0 " + DownloadPage}));
}

TEST_F(UpdateCheckTest, ANotNewerVersionIsConfirmed) {
    struct Case {
        QByteArray Latest;
        bool OfferDownload;
    };
    for (const Case& c :
         {Case{"3.0.3.1", true}, Case{"3.0.2.9", true}, Case{"4", true}, Case{"3.0.3.1", false}}) {
        Dialogs->Log.clear();
        Server.Answer.Body = Pad(c.Latest, DownloadPage.toUtf8());
        Checker.OfferDownload = c.OfferDownload;
        ASSERT_TRUE(RunCheck());
        EXPECT_EQ(Dialogs->Log, (Log{"got: " + c.Latest + " " + DownloadPage,
                                     "inform: You already have a latest version " + c.Latest +
                                         " of this program"}))
            << c.Latest.constData();
    }
}

TEST_F(UpdateCheckTest, VersionsOfAnotherShapeCannotBeCompared) {
    Server.Answer.Body = Pad("3.0.4", DownloadPage.toUtf8());
    ASSERT_TRUE(RunCheck());
    EXPECT_EQ(Dialogs->Log,
              (Log{"got: 3.0.4 " + DownloadPage,
                   "error: Cannot compare the versions: The latest version \"3.0.4\" has 3 parts; "
                   "a version has four numbers separated by dots."}));

    Dialogs->Log.clear();
    Server.Answer.Body = Pad("3.0.4.0", DownloadPage.toUtf8());
    Checker.OwnVersion = "3.0.3.1-beta";
    ASSERT_TRUE(RunCheck());
    ASSERT_EQ(Dialogs->Log.size(), 2u);
    EXPECT_EQ(Dialogs->Log[1], "error: Cannot compare the versions: This program's version "
                               "\"3.0.3.1-beta\" has the part \"1-beta\", which is not a decimal "
                               "number.");
}

TEST_F(UpdateCheckTest, OnlyAWebDownloadAddressIsEverOpened) {
    for (const char* address : {"file:///usr/bin/xterm", "/usr/bin/xterm", "xterm", ""}) {
        const QByteArray url = address;
        Dialogs->Log.clear();
        Server.Answer.Body = Pad("3.0.4.0", url);
        ASSERT_TRUE(RunCheck());
        EXPECT_EQ(Dialogs->Log,
                  (Log{"got: 3.0.4.0 " + url,
                       "error: There's a new version 3.0.4.0 of this program, but its download "
                       "address \"" +
                           url + "\" is not an http or https address; it is not opened."}))
            << url.constData();
    }
}

TEST_F(UpdateCheckTest, TheFileIsReadOnlyWhenItsWholeAnnouncedLengthArrived) {
    const QByteArray pad = Pad("3.0.4.0", DownloadPage.toUtf8());
    struct Case {
        const char* Name;
        QByteArray Body;
        qint64 ContentLength;
    };
    // A body cut short of its Content-Length, and a body with no Content-Length at all. The
    // first is a complete document, so that reading it anyway shows in the dialogs.
    for (const Case& c : {Case{"short", pad, pad.size() + 100}, Case{"no length", pad, -2}}) {
        Server.Answer.Body = c.Body;
        Server.Answer.ContentLength = c.ContentLength;

        Dialogs->Log.clear();
        Checker.ReportFailures = true;
        ASSERT_TRUE(RunCheck()) << c.Name;
        EXPECT_EQ(Dialogs->Log, (Log{FailureWarning()})) << c.Name;

        // Without ReportFailures the bytes received are read all the same.
        Dialogs->Log.clear();
        Checker.ReportFailures = false;
        ASSERT_TRUE(RunCheck()) << c.Name;
        EXPECT_EQ(Dialogs->Log,
                  (Log{"got: 3.0.4.0 " + DownloadPage, Question, "open: " + DownloadPage}))
            << c.Name;
    }
    // A cut document read without ReportFailures fails as XML, with a message.
    Server.Answer.Body = pad.left(pad.size() - 20);
    Server.Answer.ContentLength = pad.size();
    Dialogs->Log.clear();
    ASSERT_TRUE(RunCheck());
    ASSERT_EQ(Dialogs->Log.size(), 1u);
    EXPECT_TRUE(
        Dialogs->Log[0].startsWith("error: The update information is not well-formed XML: "))
        << Dialogs->Log[0].toStdString();
}

TEST_F(UpdateCheckTest, AnErrorStatusFailsTheDownloadAndIsNeverRead) {
    Server.Answer.Status = "404 Not Found";
    Server.Answer.Body = "<html><body>Not Found</body></html>";
    ASSERT_TRUE(RunCheck());
    EXPECT_EQ(Dialogs->Log, (Log{FailureWarning()}));

    Dialogs->Log.clear();
    Checker.ReportFailures = false;
    ASSERT_TRUE(RunCheck());
    EXPECT_EQ(Dialogs->Log, Log{});
}

TEST_F(UpdateCheckTest, NoServerFailsTheDownload) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QString address = QString("http://127.0.0.1:%1/orvella.xml").arg(closed.serverPort());
    closed.close(); // nothing listens there now
    Checker.UpdateAddress = address;
    ASSERT_TRUE(RunCheck());
    EXPECT_EQ(Dialogs->Log, (Log{"warning: Couldn't download file version information from:\n" +
                                 address + " !"}));
}

TEST_F(UpdateCheckTest, OnlyHttpAndHttpsUpdateAddressesAreFetched) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("orvella.xml");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Pad("3.0.4.0", DownloadPage.toUtf8()));
    file.close();
    for (const QString& address : {QUrl::fromLocalFile(path).toString(), path}) {
        Dialogs->Log.clear();
        Checker.UpdateAddress = address;
        ASSERT_TRUE(RunCheck());
        EXPECT_EQ(Dialogs->Log, (Log{"warning: Couldn't download file version information from:\n" +
                                     address + " !"}));
    }
}

// The server reads the request and never answers; the checker gives up after its Timeout.
TEST_F(UpdateCheckTest, AServerThatNeverAnswersFailsAfterTheTimeout) {
    Server.Answer.Silent = true;
    Checker.Timeout = 300;
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(RunCheck());
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(Server.Requests, 1);
    EXPECT_EQ(Dialogs->Log, (Log{FailureWarning()}));
}

// The answer begins (its head alone, or part of its body) and then stalls: a failed read,
// reported as such before the warning.
TEST_F(UpdateCheckTest, ATransferThatStallsFailsAsAFailedRead) {
    const QByteArray pad = Server.Answer.Body;
    for (const QByteArray& sent : {QByteArray(), pad}) {
        Server.Answer.Body = sent;
        Server.Answer.ContentLength = pad.size() + 100;
        Server.Answer.KeepOpen = true;
        Checker.Timeout = 300;
        Checker.ReportFailures = true;
        Dialogs->Log.clear();
        ASSERT_TRUE(RunCheck());
        EXPECT_EQ(Dialogs->Log, (Log{"message: Unable to download file.", FailureWarning()}))
            << sent.size() << " bytes of the body sent";

        // Without ReportFailures the failed read is still told, and nothing is read.
        Dialogs->Log.clear();
        Checker.ReportFailures = false;
        ASSERT_TRUE(RunCheck());
        EXPECT_EQ(Dialogs->Log, (Log{"message: Unable to download file."}))
            << sent.size() << " bytes of the body sent";
    }
}

TEST_F(UpdateCheckTest, ABodyLargerThanOneMebibyteIsRefused) {
    const QByteArray huge = Pad("3.0.4.0", DownloadPage.toUtf8()) + QByteArray(2 << 20, ' ');
    // Announced, and unannounced so that only the bytes received can tell.
    for (const qint64 length : {qint64(-1), qint64(-2)}) {
        for (const bool failureDlg : {true, false}) {
            Dialogs->Log.clear();
            Server.Answer.Body = huge;
            Server.Answer.ContentLength = length;
            Checker.ReportFailures = failureDlg;
            ASSERT_TRUE(RunCheck());
            EXPECT_EQ(Dialogs->Log, failureDlg ? Log{FailureWarning()} : Log{})
                << "length " << length;
        }
    }
}

TEST_F(UpdateCheckTest, AnUnreadableFileIsReportedWithWhatIsWrong) {
    Server.Answer.Body = "<XML_DIZ_INFO><Program_Info></XML_DIZ_INFO>";
    ASSERT_TRUE(RunCheck());
    ASSERT_EQ(Dialogs->Log.size(), 1u);
    EXPECT_TRUE(Dialogs->Log[0].startsWith("error: The update information is not well-formed XML"))
        << Dialogs->Log[0].toStdString();

    Dialogs->Log.clear();
    Server.Answer.Body = "<XML_DIZ_INFO><Program_Info><Program_Version>3.0.4.0</Program_Version>"
                         "</Program_Info><Web_Info/></XML_DIZ_INFO>";
    ASSERT_TRUE(RunCheck());
    EXPECT_EQ(Dialogs->Log,
              (Log{"error: The update information has no element "
                   "Web_Info/Download_URLs/Primary_Download_URL (Download_URLs is missing)."}));
}

TEST_F(UpdateCheckTest, WithoutAnOwnVersionTheCheckEndsSilently) {
    Checker.OwnVersion.clear();
    ASSERT_TRUE(RunCheck());
    EXPECT_EQ(Dialogs->Log, Log{});
    EXPECT_EQ(Server.Requests, 1);
}

TEST_F(UpdateCheckTest, ASecondCheckWhileOneRunsIsRefused) {
    // While downloading.
    QSignalSpy done(&Checker, &TUpdateCheck::CheckDone);
    Checker.Check();
    EXPECT_TRUE(Checker.Checking());
    Checker.Check();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_EQ(Server.Requests, 1);
    EXPECT_EQ(Dialogs->Log,
              (Log{"got: 3.0.4.0 " + DownloadPage, Question, "open: " + DownloadPage}));

    // While its dialogs are open.
    Dialogs->Log.clear();
    Dialogs->DuringDialog = [this] { Checker.Check(); };
    ASSERT_TRUE(RunCheck());
    QCoreApplication::processEvents();
    EXPECT_EQ(Server.Requests, 2);
    EXPECT_EQ(done.count(), 2);
    EXPECT_EQ(Dialogs->Log,
              (Log{"got: 3.0.4.0 " + DownloadPage, Question, "open: " + DownloadPage}));

    // And a check after the end runs again.
    Dialogs->DuringDialog = nullptr;
    ASSERT_TRUE(RunCheck());
    EXPECT_EQ(Server.Requests, 3);
}

TEST_F(UpdateCheckTest, DestroyingTheCheckerEndsItsDownload) {
    Server.Answer.Silent = true;
    auto checker = std::make_unique<TUpdateCheck>();
    checker->UpdateAddress = Server.Url();
    checker->OwnVersion = "3.0.3.1";
    checker->SetDialogs(std::make_unique<RecordingUpdateDialogs>());
    checker->Check();
    QElapsedTimer clock;
    clock.start();
    while (Server.Requests == 0 && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(Server.Requests, 1);
    checker.reset();
    clock.restart();
    while (Server.Closed == 0 && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(Server.Closed, 1);
}

// The checker closing the window from a dialog (here: destroying itself) must not touch freed
// memory afterwards.
TEST(UpdateCheckLifetimeTest, TheCheckerMayBeDestroyedFromItsOwnDialog) {
    LoopbackServer server;
    server.Answer.Body = Pad("3.0.4.0", DownloadPage.toUtf8());
    auto* checker = new TUpdateCheck;
    QPointer<TUpdateCheck> watch(checker);
    checker->UpdateAddress = server.Url();
    checker->OwnVersion = "3.0.3.1";
    auto* dialogs = new RecordingUpdateDialogs;
    checker->SetDialogs(std::unique_ptr<TUpdateDialogs>(dialogs));
    checker->OnGetURL = [&](TUpdateCheck* sender, const QString&, const QString&) {
        delete sender;
    };
    checker->Check();
    QElapsedTimer clock;
    clock.start();
    while (watch && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_FALSE(watch);
}

TEST(UpdateCheckSettingsTest, TheUpdateAddressComesFromTheSettingsWhenSet) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    {
        const TUpdateCheck checker;
        EXPECT_EQ(checker.UpdateAddress, QString(DefaultUpdateURL));
        EXPECT_EQ(checker.SiteName, "www.orvella.invalid");
        EXPECT_TRUE(checker.ReportFailures);
        EXPECT_TRUE(checker.OfferDownload);
    }
    {
        QSettings settings("Quendrix", "Orvella");
        settings.setValue("Settings/updateurl", "http://updates.example.invalid:8080/orvella.xml");
    }
    const TUpdateCheck checker;
    EXPECT_EQ(checker.UpdateAddress, "http://updates.example.invalid:8080/orvella.xml");
    EXPECT_EQ(checker.SiteName, "updates.example.invalid");
    EXPECT_EQ(UpdateURL(), checker.UpdateAddress);
}

} // namespace
} // namespace orvella
