#include "editor/aboutdialog.h"

#include "editor/windowdialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace orvella {

TAboutDialog::TAboutDialog(const QString& fileVersion, TWindowDialogs& dialogs, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("About"));
    setAccessibleName(windowTitle());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* title = new QLabel(QStringLiteral("Orvella"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    title->setFont(big);
    auto* what = new QLabel(tr("Audio editor"));
    VersionLabel = new QLabel(tr("Version: ") + fileVersion);
    VersionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto link = [&](const QString& target, const QString& text) {
        auto* label = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>")
                                     .arg(target.toHtmlEscaped(), text.toHtmlEscaped()));
        label->setTextFormat(Qt::RichText);
        label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        label->setAccessibleName(text);
        connect(label, &QLabel::linkActivated, this,
                [&dialogs](const QString& url) { dialogs.OpenUrl(QUrl(url)); });
        return label;
    };
    WebLink = link(QLatin1String(ProjectPage), QLatin1String(ProjectPage));
    MailLink =
        link(QStringLiteral("mailto:") + QLatin1String(ProjectMail), QLatin1String(ProjectMail));

    auto* ok = new QPushButton(tr("&Ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    for (QWidget* widget : {static_cast<QWidget*>(title), static_cast<QWidget*>(what),
                            static_cast<QWidget*>(VersionLabel), static_cast<QWidget*>(WebLink),
                            static_cast<QWidget*>(MailLink)})
        layout->addWidget(widget);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace orvella
