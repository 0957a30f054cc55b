#include "editor/filepropertiesdialog.h"

#include "engine/document.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace orvella {

QString FormatDuration(double seconds) {
    const int64_t ms = seconds > 0 ? int64_t(std::llround(seconds * 1000.0)) : 0;
    return QStringLiteral("%1:%2:%3.%4")
        .arg(ms / 3600000)
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

TFilePropertiesDialog::TFilePropertiesDialog(QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("File Properties"));
    setAccessibleName(windowTitle());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* group = new QGroupBox(tr("  File Info  "));
    auto* form = new QFormLayout(group);
    auto field = [&](const QString& label, const QString& name) {
        auto* edit = new QLineEdit;
        edit->setReadOnly(true);
        edit->setAccessibleName(name);
        edit->setMinimumWidth(180);
        form->addRow(label, edit);
        return edit;
    };
    Format = field(tr("Format: "), tr("Format"));
    Duration = field(tr("Duration:"), tr("Duration"));
    DataSize = field(tr("Data Size:"), tr("Data Size"));
    Channels = field(tr("Channels:"), tr("Channels"));
    SampleRate = field(tr("SampleRate:"), tr("SampleRate"));
    Samples = field(tr("Samples:"), tr("Samples"));
    Precision = field(tr("Precision:"), tr("Precision"));

    auto* close = new QPushButton(tr("&Close"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
}

void TFilePropertiesDialog::Fill(const TDocument& doc) {
    static const char* const kinds[] = {"PCM", "MP3", "WMA"};
    const int kind = doc.SourceKind.load();
    if (kind >= 1 && kind <= 3) Format->setText(QLatin1String(kinds[kind - 1]));
    Duration->setText(FormatDuration(doc.Duration.load()));
    DataSize->setText(QString::number(doc.DataBytes.load()) + tr(" bytes"));
    Channels->setText(doc.Channels.load() == 1 ? tr("Mono") : tr("Stereo"));
    SampleRate->setText(QString::number(doc.SampleRate.load()) + tr(" Hz"));
    Samples->setText(QString::number(doc.Frames.load()));
    Precision->setText(QString::fromStdString(PrecisionText(doc.SourcePrecision.load())));
}

} // namespace orvella
