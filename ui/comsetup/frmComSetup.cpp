#include "ui/comsetup/frmComSetup.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

frmComSetup::frmComSetup(Tarn_Comm* link, QWidget* parent) : QDialog(parent), tarn(link)
{
    setObjectName(QStringLiteral("frmComSetup"));
    setWindowTitle(QStringLiteral("Communication settings"));
    setModal(true);
    cmdClose = new QPushButton(QStringLiteral("Close"));
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(this, &QDialog::finished, this, [this] { tarn = nullptr; });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addLayout(buttons);
}
