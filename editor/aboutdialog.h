#pragma once
// TAboutDialog, the About box: the program's name, "Version: " and its file version, and two links,
// the project's web page and its mail address, handed to the desktop when clicked.
// Thread rule: main thread only.

#include <QDialog>

class QLabel;

namespace orvella {

class TWindowDialogs;

inline constexpr char ProjectPage[] = "https://www.orvella.invalid/";
inline constexpr char ProjectMail[] = "support@orvella.invalid";

class TAboutDialog : public QDialog {
    Q_OBJECT
public:
    TAboutDialog(const QString& fileVersion, TWindowDialogs& dialogs, QWidget* parent = nullptr);

    QLabel* VersionLabel = nullptr;
    QLabel* WebLink = nullptr;
    QLabel* MailLink = nullptr;
};

} // namespace orvella
