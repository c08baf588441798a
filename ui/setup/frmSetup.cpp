#include "ui/setup/frmSetup.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

frmSetup::frmSetup(Tarn_Comm* link, QWidget* parent) : QDialog(parent), tarn(link)
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("Tarn Setup"));
    setModal(true);
    cmdClose = new QPushButton(QStringLiteral("Close"));
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addLayout(buttons);
}
