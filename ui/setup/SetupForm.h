#pragma once

#include "data/SetupBlocks.h"

#include <array>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

/// The setup window's controls, with their object names, captions, fonts and tool tips, and
/// how they are laid out in groups. frmSetup fills, checks and sends them; SetupFileActions
/// fills and marks them from a setup file and builds the file buttons.
class SetupForm
{
public:
    static constexpr int kZones = SetupBlocks::kZones;
    static constexpr int kOutputsPerZone = SetupBlocks::kOutputsPerZone;
    static constexpr int kOutputs = kZones * kOutputsPerZone;
    /// Room for the largest number the controller's record holds (4294967295), so that the field
    /// shows it whole and Set never sends a number cut short.
    static constexpr int kSerialNumberLength = 10;
    /// Firmware from which the controller keeps serial number, dates and a deletable log.
    static constexpr double kInformationVersion = 2.07;
    static constexpr const char* kInformationCaption = "Information";
    static constexpr const char* kInformationCaptionOld =
        "Information (CPU versions 2.07 or higher)";
    /// The dynamic property that marks a field whose value from a setup file differs from
    /// the controller's.
    static constexpr const char* kDiffersProperty = "differsFromTarn";

    QGroupBox* Frame5 = nullptr;
    std::array<QGroupBox*, kZones> Frame1{};
    std::array<QGroupBox*, kZones> Frame2{};
    std::array<QComboBox*, kZones> cboProfiles{};
    std::array<QCheckBox*, kOutputs> chkOutput{};
    QPushButton* cmdSetZoneSettings = nullptr;
    /// Labels by their design index; 7 to 9 are not used.
    std::array<QLabel*, 14> Label1{};

    std::array<QGroupBox*, 2> Frame3{};
    std::array<QGroupBox*, 3> frame4{};
    QLineEdit* txtDetectorAlarmDelay = nullptr;
    QLineEdit* txtManualAlarmDelay = nullptr;
    QLineEdit* txtManualStopDelay = nullptr;
    QPushButton* cmdSetDelays = nullptr;

    QGroupBox* fraInformation = nullptr;
    QLineEdit* txtSerialNumber = nullptr;
    QPushButton* cmdSetSerialNumber = nullptr;
    QDateEdit* dtpManufactoringDate = nullptr;
    QPushButton* cmdSetManufactoringDate = nullptr;
    QDateEdit* dtpInstallationDate = nullptr;
    QPushButton* cmdSetInstallationDate = nullptr;
    QDateEdit* dtpServiceDate = nullptr;
    QPushButton* cmdSetServiceDate = nullptr;
    QPushButton* cmdClearLog = nullptr;

    QLabel* lblPCTime = nullptr;
    QPushButton* cmdSetTarnClock = nullptr;

    /// Setup files: the controller's values as last read, saved; a file's values filled into
    /// the fields (nothing is sent); a file compared with them.
    QPushButton* cmdSaveToFile = nullptr;
    QPushButton* cmdLoadFromFile = nullptr;
    QPushButton* cmdCompareWithFile = nullptr;

protected:
    QWidget* buildZones();
    QWidget* buildDelays();
    QWidget* buildInformation();
    QWidget* buildClock();
};
