#include "widgets/about_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "widgets/control_ids.h"
#include "widgets/resource_bundle.h"

namespace korvane {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(DialogName(100));
    // The menu text without its mnemonic and trailing dots is the box's title.
    QString title = ResourceString(IDS_ABOUTBOX);
    title.remove(QStringLiteral("(&A)")).remove(QStringLiteral("..."));
    setWindowTitle(title.isEmpty() ? QStringLiteral("About OrvelManager") : title.trimmed());

    auto* icon = new QLabel(this);
    icon->setPixmap(ResourcePixmap(IDI_PANEL, 48));
    auto* name = new QLabel(QStringLiteral("OrvelManager"), this);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    auto* version = new QLabel(QString::fromUtf8("T3固件烧写工具 V1.0.0"), this);
    auto* ok = new QPushButton(QString::fromUtf8("确定"), this);
    ok->setObjectName(ControlName(1));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(name, 0, 1);
    grid->addWidget(version, 1, 1);
    grid->addWidget(ok, 0, 2, Qt::AlignTop);
}

}  // namespace korvane
