#pragma once
// What the update check asks of the user and the desktop: its message boxes, its one question and
// the opening of the download address. The window uses TQtUpdateDialogs; tests answer with their
// own implementation.
// Thread rule: GUI thread only; every call returns when the user has answered.

#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

namespace orvella {

class TUpdateDialogs {
public:
    virtual ~TUpdateDialogs() = default;
    // A plain message with an OK button.
    virtual void ShowMessage(const QString& text) = 0;
    // A warning with an OK button.
    virtual void Warning(const QString& text) = 0;
    // A confirmation box with only an OK button.
    virtual void Inform(const QString& text) = 0;
    // A confirmation with Yes and No; true for Yes.
    virtual bool AskYesNo(const QString& text) = 0;
    // An error the check cannot get past (the file or the versions cannot be read).
    virtual void Error(const QString& text) = 0;
    // Hands the address to the desktop's browser; false if the desktop refused it.
    virtual bool OpenUrl(const QUrl& url) = 0;
};

// Message boxes over the given window (none: centred on the screen) and the desktop's URL handler.
class TQtUpdateDialogs : public TUpdateDialogs {
public:
    explicit TQtUpdateDialogs(QWidget* owner = nullptr)
        : Owner(owner) {}

    void ShowMessage(const QString& text) override;
    void Warning(const QString& text) override;
    void Inform(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    void Error(const QString& text) override;
    bool OpenUrl(const QUrl& url) override;

private:
    QPointer<QWidget> Owner;
};

} // namespace orvella
