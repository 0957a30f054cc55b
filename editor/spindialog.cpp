#include "editor/spindialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace orvella {

TSpinDialog::TSpinDialog(const QString& caption, const QString& groupTitle, int minimum,
                         int maximum, int initial, QWidget* parent)
    : QDialog(parent)
    , Spin(new QSpinBox) {
    setWindowTitle(caption);
    setAccessibleName(caption);
    auto* group = new QGroupBox(groupTitle);
    group->setAccessibleName(groupTitle.trimmed());
    Spin->setRange(minimum, maximum);
    Spin->setValue(initial);
    Spin->setAccessibleName(groupTitle.trimmed());
    // The spin box's own edit takes the focus; a screen reader names it after the group too.
    if (auto* edit = Spin->findChild<QLineEdit*>()) edit->setAccessibleName(groupTitle.trimmed());
    auto* groupLayout = new QHBoxLayout(group);
    groupLayout->addWidget(Spin);

    auto* ok = new QPushButton(tr("&Ok"));
    auto* cancel = new QPushButton(tr("&Cancel"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(240, 0)));
}

int TSpinDialog::Value() const {
    return Spin->value();
}

void TSpinDialog::SetValue(int value) {
    Spin->setValue(value);
}

void TSpinDialog::showEvent(QShowEvent* event) {
    if (parentWidget()) {
        const QRect owner = parentWidget()->window()->frameGeometry();
        move(owner.center() - rect().center());
    }
    Spin->setFocus();
    Spin->selectAll();
    QDialog::showEvent(event);
}

} // namespace orvella
