#pragma once

#include "controller/ControllerIdentity.h"
#include "controller/SetupWriter.h"
#include "data/SetupBlocks.h"
#include "ui/setup/SetupForm.h"

#include <QDialog>
#include <QStringList>

#include <functional>

#include <string>
#include <vector>

class MessageBoxes;
class QLineEdit;
class QPushButton;
class QTimer;
class SetupEdits;
class SetupFileActions;
class Tarn_Comm;

/// The setup window: writes delays, zone profiles and outputs, the clock, the serial number,
/// the manufacturing, installation and service dates to the controller and deletes its log.
/// Shown modally from the main window with the main window's link; filled from the status
/// record when it is built, and the record follows every acknowledged command. Every write
/// first makes sure that the controller answering is the one the window shows, and carries
/// what the user edited and, for the rest, what that controller holds right then. Its controls
/// are SetupForm's; frmSetup.cpp fills them and keeps the clock and the busy state, the Set
/// buttons' writes are in frmSetupWrites.cpp, the edits are SetupEdits and the setup file
/// buttons SetupFileActions.
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
    static constexpr const char* kDefinitionUnconfirmed =
        "Tarn took this zone's profile number but did not confirm its definition: Set all zone "
        "settings writes both again.";

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
    /// The edits not sent to Tarn, one line each.
    QStringList Edits() const;
    /// The controller the window shows.
    const ControllerIdentity& shownController() const { return m_shown; }

    /// The main window's link; never created, opened or closed here.
    Tarn_Comm* tarn = nullptr;

    QTimer* tmrClock = nullptr;

    /// Writes every difference of the file loaded, as `tarn setup apply` does.
    QPushButton* cmdWriteAll = nullptr;

signals:
    /// What a write under way does, for the main window's status line; empty once it is done.
    void progress(const QString& text);

public:
    /// The window does not close while a command is under way, nor with unsent edits unless
    /// the user lets them go.
    void reject() override;

private:
    void Load(const QString& argumentText);
    void LoadInformation();
    /// Enables each Set button whose block has edits (and that the firmware and the service
    /// switch allow).
    void UpdateButtons();
    /// The window shows the record as it is now: every field not edited takes its value.
    void FollowRecord();

    void handleClockTick();
    void handleSetDelays();
    void handleSetTarnClock();
    void handleSetSerialNumber();
    void handleSetManufactoringDate();
    void handleSetInstallationDate();
    void handleSetServiceDate();
    void handleClearLog();
    void handleSetZoneSettings();
    void handleWriteAll();

    /// Identifies the controller and, when it is the one the window shows, sends what `build`
    /// makes of its values of right now (reading the profile numbers of `zones` first); then
    /// the result box. True when every command was acknowledged.
    bool Write(const SetupWriter::Build& build, const std::array<bool, kZones>& zones = {},
               const char* refusedTitle = nullptr);
    /// Another controller answers: nothing was sent; the window shows that controller now.
    void AnotherController(const SetupWriter::Identified& identified);
    SetupWriter::Target Target() const;

    void SetButtonsBusy(bool busy);
    /// The question box, with what will change below it; true for OK.
    bool Confirm(const char* question, const QString& changes);
    void ShowError(const std::string& text, const QString& informative = {});
    /// The result box. A failure says why below the usual text: `why` where the caller knows
    /// it, else the link's reason. `note` goes below a success.
    void ShowResult(bool ok, const QString& why = {}, const QString& note = {});
    /// Why the last command failed: the link's error, or that its port is not open.
    QString LinkFailureText() const;
    /// The zones as the record has them and as Set all zone settings writes them.
    QString ZoneChanges() const;
    /// Sends an administrative block built from the fresh record; false (with its box shown)
    /// when it cannot be built or was not acknowledged.
    bool
    SendAdmin(const std::function<bool(const Tarn_Inputs&, SetupBlocks::Admin&, QString&)>& fields,
              const char* refusedText);

    MessageBoxes& m_boxes;
    std::vector<QPushButton*> m_buttons;
    std::vector<bool> m_enabledBeforeBusy;
    bool m_busy = false;
    /// The file buttons, and the file last loaded.
    SetupFileActions* m_files = nullptr;
    SetupEdits* m_edits = nullptr;
    bool m_serviceSwitch = false;
    /// The zones whose profile number Tarn acknowledged without the definition after it (the
    /// history knows): Set all zone settings writes them again.
    std::array<bool, kZones> m_unconfirmed{};
    /// The controller the window shows, and its delays block: without a serial number the
    /// block is what tells another controller of the same firmware.
    ControllerIdentity m_shown;
    SetupBlocks::Delays m_shownDelays;
};
