#pragma once

#include <QDialog>

class MessageBoxes;
class QLabel;
class QPushButton;

/// The about box: title, version, description, the maker's lines and a launcher for the
/// system-information tool.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    static constexpr const char* kProgramTitle = "Tarn Configuration Software";

    explicit frmAbout(MessageBoxes& boxes, QWidget* parent = nullptr);

    /// Starts the system-information tool, or says that there is none.
    void StartSysInfo();
    /// The installed system-information tool, empty when there is none: on Windows the one the
    /// registry names, elsewhere the first of a few known tools on the PATH.
    static QString SysInfoProgram();

    QLabel* Picture1 = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lbl_CompanyName = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QLabel* lblWWW = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void handleWwwClicked();

    MessageBoxes& m_boxes;
};
