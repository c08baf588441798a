#pragma once

#include "controller/PortSearch.h"

#include <QDialog>
#include <QString>

#include <array>
#include <chrono>

class MessageBoxes;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class Tarn_Comm;

/// The communication-settings window, shown modally from the main window with its link:
/// chooses port and baud rate, applies them to the link, finds the controller's port and
/// saves the choice to Tarn.INI.
class frmComSetup : public QDialog
{
    Q_OBJECT
public:
    /// Pause between stopping the link and starting it on the new settings.
    static constexpr std::chrono::milliseconds kRestartPause{500};
    /// Pause between stopping the link and trying the next port in the search.
    static constexpr std::chrono::milliseconds kDetectPause = PortSearch::kDetectPause;
    /// How often the port items are brought up to date with the devices present.
    static constexpr std::chrono::milliseconds kPortRefreshInterval{2000};
    static constexpr const char* kSearchingCaption = "Searching..";
    static constexpr const char* kAutoDetectCaption = "Auto detect";

    frmComSetup(Tarn_Comm* link, MessageBoxes& boxes, QWidget* parent = nullptr);

    /// The settings text of a baud-rate item: "9600" gives "9600,n,8,1".
    static QString SettingsText(const QString& baudRate);

    /// The main window's link, dropped when the window closes.
    Tarn_Comm* tarn = nullptr;

    QGroupBox* Frame1 = nullptr;
    std::array<QLabel*, 2> Label1{};
    QComboBox* cboComPorts = nullptr;
    QComboBox* cboBaudRates = nullptr;
    QPushButton* cmdAutoDetect = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
    /// The port that auto detect is trying; empty otherwise.
    QLabel* lblDetectProgress = nullptr;

    /// True while OK or Auto detect works on the link; the window takes no input meanwhile
    /// but Cancel, which stops a search at once (the port being tried is closed).
    bool isBusy() const { return m_busy; }

    void handleOK();
    void handleCancel();
    void handleSave();
    void handleAutoDetect();

signals:
    /// A message for the main window's status line (normal colour); empty clears it.
    void statusMessage(const QString& msg);

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    /// True when the lists hold what the action needs; otherwise the user is asked for it.
    bool HasSelection(bool needPort);
    /// Selects the items of the link's port and baud rate (none where nothing matches).
    void SelectFromLink();
    /// Selects the first item of port number `port`; none when there is no such item.
    void SelectPort(int port);
    /// Brings the port items' device texts up to date.
    void RefreshPortItems();
    void SetBusy(bool busy);
    /// Tries every port with `settings` until one answers or Cancel stops the search.
    PortSearch::Result Search(const QString& settings);
    /// Shows the port being tried: "COM3 of 15 — /dev/ttyUSB2".
    void ShowTrying(int index);
    /// The link's start failure with what the user can do about it.
    QString StartFailureText(const QString& errText) const;
    QString IniPath() const;
    /// Writes port and settings to Tarn.INI's [COMMUNICATION] (only Port and Settings).
    bool SaveToIni(int port, const QString& settings) const;

    MessageBoxes& m_boxes;
    QTimer* m_portRefresh = nullptr;
    bool m_busy = false;
    bool m_searching = false;
    /// Set by Cancel during a search; the search looks at it between ports.
    bool m_stopSearch = false;
    QString m_trying;
};
