#pragma once

#include <QDialog>

class QPushButton;
class Tarn_Comm;

/// The setup window, shown modally from the main window with the main window's link.
class frmSetup : public QDialog
{
    Q_OBJECT
public:
    explicit frmSetup(Tarn_Comm* link, QWidget* parent = nullptr);

    /// The main window's link; never created, opened or closed here.
    Tarn_Comm* tarn = nullptr;
    QPushButton* cmdClose = nullptr;
};
