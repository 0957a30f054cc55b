// The pieces of the update check that need no network: the version comparison with its weighting,
// the check of the download address, and the reading of the update information.
#include "editor/updatecheck_padfile.h"
#include "editor/updatecheck_version.h"

#include <gtest/gtest.h>

namespace orvella {
namespace {

struct VersionCase {
    const char* Latest;
    const char* Own;
    TVersionOrder Order;
};

TEST(CheckpadVersionTest, WeightedComparisonOfFourParts) {
    const VersionCase cases[] = {
        {"3.0.4.0", "3.0.3.1", TVersionOrder::Newer},    // 3000400 > 3000301
        {"3.0.3.1", "3.0.3.1", TVersionOrder::NotNewer}, // equal is not newer
        {"3.0.3.1", "3.0.4.0", TVersionOrder::NotNewer},
        {"3.0.3.2", "3.0.3.1", TVersionOrder::Newer},
        {"4.0.0.0", "3.99.99.99", TVersionOrder::Newer},
        {"1.0.0.100", "1.0.1.0", TVersionOrder::NotNewer}, // the places overlap: equal values
        {"1.0.0.101", "1.0.1.0", TVersionOrder::Newer},
        {"1.0.1.0", "1.0.0.101", TVersionOrder::NotNewer},
        {"+3.0.4.0", "3.0.3.1", TVersionOrder::Newer}, // a sign is part of a decimal number
        {"3.0.-1.0", "3.0.0.0", TVersionOrder::NotNewer},
        // A first part above 2147 would overflow a 32-bit sum.
        {"3000.0.0.0", "2999.0.0.0", TVersionOrder::Newer},
        {"2147483647.2147483647.2147483647.2147483647", "1.0.0.0", TVersionOrder::Newer},
        // No dot on either side: never newer, whatever the other side holds.
        {"4", "3.0.3.1", TVersionOrder::NotNewer},
        {"4", "x", TVersionOrder::NotNewer},
        {"", "3.0.3.1", TVersionOrder::NotNewer},
        {"3.0.4.0", "3", TVersionOrder::NotNewer},
        // Any other shape cannot be compared.
        {"3.0.4", "3.0.3.1", TVersionOrder::CannotCompare},
        {"3.0.4.0.1", "3.0.3.1", TVersionOrder::CannotCompare},
        {"3.0.4.0", "3.0.3", TVersionOrder::CannotCompare},
        {"3.0.x.0", "3.0.3.1", TVersionOrder::CannotCompare},
        {"3..4.0", "3.0.3.1", TVersionOrder::CannotCompare},
        {"3.0.4.0 beta", "3.0.3.1", TVersionOrder::CannotCompare},
        {"3.0. 4.0", "3.0.3.1", TVersionOrder::CannotCompare},
        {"3.0.4.-", "3.0.3.1", TVersionOrder::CannotCompare},
        {"3.0.4.2147483648", "3.0.3.1", TVersionOrder::CannotCompare}, // beyond 32 bits
        {"3.0.4.0", "3.0.3.1a", TVersionOrder::CannotCompare},
    };
    for (const VersionCase& c : cases) {
        const TVersionComparison result = CompareVersions(c.Latest, c.Own);
        EXPECT_EQ(result.Order, c.Order) << c.Latest << " against " << c.Own;
        EXPECT_EQ(result.Problem.isEmpty(), c.Order != TVersionOrder::CannotCompare)
            << c.Latest << " against " << c.Own;
    }
}

TEST(CheckpadVersionTest, TheProblemNamesTheVersionAndItsFault) {
    EXPECT_EQ(CompareVersions("3.0.4", "3.0.3.1").Problem,
              "The latest version \"3.0.4\" has 3 parts; a version has four numbers separated by "
              "dots.");
    EXPECT_EQ(CompareVersions("3.0.4.0", "3.0.x.1").Problem,
              "This program's version \"3.0.x.1\" has the part \"x\", which is not a decimal "
              "number.");
}

TEST(CheckpadVersionTest, OnlyHttpAndHttpsAddressesWithAHostAreWebAddresses) {
    for (const char* address : {"http://www.orvella.invalid/download.html",
                                "https://www.orvella.invalid/orvella-3.0.4.0.tar.gz",
                                "HTTPS://www.orvella.invalid/", "http://127.0.0.1:8080/x"})
        EXPECT_TRUE(IsWebAddress(address)) << address;
    for (const char* address :
         {"file:///usr/bin/xterm", "file:/home/user/setup.sh", "/usr/bin/xterm", "xterm",
          "setup.sh", "ftp://www.orvella.invalid/x", "javascript:alert(1)", "mailto:a@b.invalid",
          "http://", "http:///etc/passwd", "https:relative", "", " "})
        EXPECT_FALSE(IsWebAddress(address)) << address;
}

QByteArray Pad(const QByteArray& programInfo, const QByteArray& webInfo,
               const QByteArray& root = "XML_DIZ_INFO") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root + ">\n" + programInfo + "\n" +
           webInfo + "\n</" + root + ">\n";
}

const QByteArray ProgramInfo = "<Program_Info><Program_Name>Orvella</Program_Name>"
                               "<Program_Version>3.0.4.0</Program_Version></Program_Info>";
const QByteArray WebInfo = "<Web_Info><Application_URLs/><Download_URLs>"
                           "<Primary_Download_URL>https://www.orvella.invalid/get.html"
                           "</Primary_Download_URL></Download_URLs></Web_Info>";

TEST(CheckpadPadTest, ReadsTheTwoElementsBelowAnyRoot) {
    for (const char* root : {"XML_DIZ_INFO", "Anything"}) {
        const TPadInfo info = ReadPadFile(Pad(ProgramInfo, WebInfo, root));
        EXPECT_EQ(info.Error, "") << root;
        EXPECT_EQ(info.Version, "3.0.4.0");
        EXPECT_EQ(info.DownloadURL, "https://www.orvella.invalid/get.html");
    }
    // White space around the values, as a hand-edited file has it, is not part of them.
    const TPadInfo spaced = ReadPadFile(
        Pad("<Program_Info><Program_Version>\n  3.0.4.0\n</Program_Version></Program_Info>",
            "<Web_Info><Download_URLs><Primary_Download_URL> https://a.invalid/ "
            "</Primary_Download_URL></Download_URLs></Web_Info>"));
    EXPECT_EQ(spaced.Version, "3.0.4.0");
    EXPECT_EQ(spaced.DownloadURL, "https://a.invalid/");
}

TEST(CheckpadPadTest, TheEncodingComesFromTheDocument) {
    // Latin-1 bytes are not UTF-8: read as UTF-8 the document would not be well-formed.
    const QByteArray latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R><Program_Info>"
                              "<Program_Name>Orv\xe9lla</Program_Name><Program_Version>3.0.4.0"
                              "</Program_Version></Program_Info>" +
                              WebInfo + "</R>";
    const TPadInfo info = ReadPadFile(latin1);
    EXPECT_EQ(info.Error, "");
    EXPECT_EQ(info.Version, "3.0.4.0");

    const QString text = QString::fromUtf8("<?xml version=\"1.0\" encoding=\"UTF-16\"?><R>" +
                                           ProgramInfo + WebInfo + "</R>");
    QByteArray utf16("\xff\xfe", 2);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    EXPECT_EQ(ReadPadFile(utf16).DownloadURL, "https://www.orvella.invalid/get.html");
}

TEST(CheckpadPadTest, AMissingElementIsNamed) {
    struct Case {
        QByteArray File;
        QString Error;
    };
    const QString noVersion =
        "The update information has no element Program_Info/Program_Version (%1 is missing).";
    const QString noUrl = "The update information has no element "
                          "Web_Info/Download_URLs/Primary_Download_URL (%1 is missing).";
    const Case cases[] = {
        {Pad("", WebInfo), noVersion.arg("Program_Info")},
        {Pad("<Program_Info><Program_Name>x</Program_Name></Program_Info>", WebInfo),
         noVersion.arg("Program_Version")},
        {Pad(ProgramInfo, ""), noUrl.arg("Web_Info")},
        {Pad(ProgramInfo, "<Web_Info><Application_URLs/></Web_Info>"), noUrl.arg("Download_URLs")},
        {Pad(ProgramInfo, "<Web_Info><Download_URLs/></Web_Info>"),
         noUrl.arg("Primary_Download_URL")},
        // The elements count only at their place below the root.
        {Pad("<Other>" + ProgramInfo + "</Other>", WebInfo), noVersion.arg("Program_Info")},
        {"<Program_Info><Program_Version>3.0.4.0</Program_Version></Program_Info>",
         noVersion.arg("Program_Info")},
    };
    for (const Case& c : cases) {
        const TPadInfo info = ReadPadFile(c.File);
        EXPECT_EQ(info.Error, c.Error) << c.File.constData();
        EXPECT_EQ(info.Version, "");
        EXPECT_EQ(info.DownloadURL, "");
    }
}

TEST(CheckpadPadTest, AFileThatIsNotWellFormedXmlIsReported) {
    for (const QByteArray& file :
         {QByteArray(), QByteArray("<html><body>Not Found</body>"),
          Pad(ProgramInfo, WebInfo).left(90), QByteArray("plain text"),
          QByteArray("<?xml version=\"1.0\"?>"), QByteArray("<a><b></a></b>")}) {
        const TPadInfo info = ReadPadFile(file);
        EXPECT_TRUE(info.Error.startsWith("The update information is not well-formed XML: "))
            << info.Error.toStdString();
        EXPECT_TRUE(info.Error.contains("(line ")) << info.Error.toStdString();
        EXPECT_EQ(info.Version, "");
    }
}

} // namespace
} // namespace orvella
