#pragma once

#include "data/SetupBlocks.h"
#include "ui/setup/SetupForm.h"

#include <QDialog>

#include <string>
#include <vector>

class MessageBoxes;
class QLineEdit;
class QPushButton;
class QTimer;
class SetupFileActions;
class Tarn_Comm;

/// The setup window: writes delays, zone profiles and outputs, the clock, the serial number,
/// the manufacturing, installation and service dates to the controller and deletes its log.
/// Shown modally from the main window with the main window's link; filled from the status
/// record when it is built, and the record follows every acknowledged command. Its controls
/// are SetupForm's; frmSetup.cpp fills them and keeps the clock and the busy state, the Set
/// buttons' writes are in frmSetupWrites.cpp, and the setup file buttons are
/// SetupFileActions.
class frmSetup : public QDialog, public SetupForm
{
    Q_OBJECT
public:
    static constexpr int kClockIntervalMs = 500;
    /// Client area, 11235 x 8835 twips at 96 dots per inch.
    static constexpr int kWidth = 749;
    static constexpr int kHeight = 589;
    static constexpr const char* kCaption = "Tarn Setup";
    static constexpr const char* kUpdated = "Tarn was updated succesfully!";
    static constexpr const char* kNotUpdated = "Could not update Tarn!";

    /// `argumentText`: the program's arguments after its name, joined by blanks; it holds the
    /// service switch that enables the factory functions.
    frmSetup(Tarn_Comm* link, MessageBoxes& boxes, QWidget* parent = nullptr,
             const QString& argumentText = ArgumentText());

    /// The arguments of this program after its name, joined by blanks.
    static QString ArgumentText();

    /// Selects the whole text of `field` and gives it the keyboard focus.
    void SelectFieldText(QLineEdit* field);
    /// True while a command is under way; the buttons are disabled meanwhile.
    bool isBusy() const { return m_busy; }

    /// The main window's link; never created, opened or closed here.
    Tarn_Comm* tarn = nullptr;

    QTimer* tmrClock = nullptr;

protected:
    /// The window does not close while a command is under way.
    void reject() override;

private:
    void Load(const QString& argumentText);
    void LoadInformation(bool serviceSwitch);

    void handleClockTick();
    void handleSetDelays();
    void handleSetTarnClock();
    void handleSetSerialNumber();
    void handleSetManufactoringDate();
    void handleSetInstallationDate();
    void handleSetServiceDate();
    void handleClearLog();
    void handleSetZoneSettings();

    /// Sends the commands in order and stops at the first that is not acknowledged. The
    /// buttons are disabled meanwhile, the busy pointer shown when asked for.
    bool SendCommands(const std::vector<SetupBlocks::Command>& commands, bool busyPointer);
    bool SendCommand(int code, const std::string& data, bool busyPointer);
    void SetButtonsBusy(bool busy);
    /// The question box, with what will change below it; true for OK.
    bool Confirm(const char* question, const QString& changes);
    void ShowError(const std::string& text, const QString& informative = {});
    /// The result box. A failure says why below the usual text: `why` where the caller knows
    /// it, else the link's reason.
    void ShowResult(bool ok, const std::string& why = {});
    /// Why the last command failed: the link's error, or that its port is not open.
    QString LinkFailureText() const;
    /// The zones as the record has them and as Set all zone settings writes them.
    QString ZoneChanges() const;
    /// Sends an administrative block; false (with its box shown) when it cannot be built or
    /// was not acknowledged.
    bool SendAdmin(const SetupBlocks::Admin& admin, const char* refusedText);

    MessageBoxes& m_boxes;
    std::vector<QPushButton*> m_buttons;
    std::vector<bool> m_enabledBeforeBusy;
    bool m_busy = false;
    /// The file buttons, and the file last loaded.
    SetupFileActions* m_files = nullptr;
};
