#include "widgets/about_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "widgets/control_names.h"
#include "widgets/resource_bundle.h"

namespace korvane {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(about_names::kDialog);
    // The menu text without its mnemonic and trailing dots is the box's title.
    QString title = ResourceString(IDS_ABOUTBOX);
    title.remove(QStringLiteral("(&A)")).remove(QStringLiteral("..."));
    setWindowTitle(title.isEmpty() ? QStringLiteral("About OrvelManager") : title.trimmed());

    auto* icon = new QLabel(this);
    icon->setObjectName(about_names::kIconLabel);
    icon->setPixmap(ResourcePixmap(IDI_PANEL, 48));
    auto* name = new QLabel(QStringLiteral("OrvelManager"), this);
    name->setObjectName(about_names::kProgramNameLabel);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    auto* version = new QLabel(tr("T3固件烧写工具 V1.0.0"), this);
    version->setObjectName(about_names::kVersionLabel);
    auto* ok = new QPushButton(tr("确定"), this);
    ok->setObjectName(about_names::kOkButton);
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
