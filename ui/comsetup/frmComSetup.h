#pragma once

#include <QDialog>

class QPushButton;
class Tarn_Comm;

/// The communication-settings window, shown modally from the main window with its link.
class frmComSetup : public QDialog
{
    Q_OBJECT
public:
    explicit frmComSetup(Tarn_Comm* link, QWidget* parent = nullptr);

    /// The main window's link, dropped when the window closes.
    Tarn_Comm* tarn = nullptr;
    QPushButton* cmdClose = nullptr;
};
