#pragma once

#include "data/StatusReport.h"
#include "data/Tarn_Inputs.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QWidget>

#include <array>

class QGroupBox;
class QLabel;
class QPushButton;

/// The status page (picSts): what the last status read found, and the button that saves it
/// as the status report.
class StatusPage : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kZones = StatusReport::kZones;
    static constexpr int kOutputsPerZone = StatusReport::kOutputsPerZone;
    static constexpr int kOutputs = kZones * kOutputsPerZone;
    /// Firmware from which the controller reports serial number and dates.
    static constexpr double kAdminDataVersion = 2.07;
    static inline const QColor kOutputOff{224, 224, 224};
    static inline const QColor kOutputOn{0, 255, 0};
    static constexpr const char* kNotRead = "###";

    explicit StatusPage(QWidget* parent = nullptr);

    /// Shows the record; profile names must already be settled.
    void Fill(const Tarn_Inputs& inputs);
    /// The captions as they are now, for the report.
    StatusReport Report() const;
    /// True when indicator k shows an output that is on.
    bool IsOutputOn(int k) const;
    /// The values shown were read at `readAt`; stale ones (the last read failed) are greyed
    /// and lblReadAt_sts says when they were read. `notReadNow` names the values the last read
    /// did not give (greyed each, with the time it was read in its tooltip).
    void ShowReadAt(const QDateTime& readAt, bool stale, const QString& notReadNow = {});
    bool isStale() const { return m_stale; }
    QDateTime readAt() const { return m_readAt; }

    QGroupBox* fraInformation_sts = nullptr;
    QLabel* lblSerialNo_sts = nullptr;
    QLabel* lblManufactured_sts = nullptr;
    QLabel* lblInstalled_sts = nullptr;
    QLabel* lblLastService_sts = nullptr;
    QLabel* lblTarnDateTime_sts = nullptr;
    QLabel* lblTempC_sts = nullptr;
    QLabel* lblTempF_sts = nullptr;
    QLabel* lblSoftwareVersion_sts = nullptr;
    QLabel* lblDetectorADelay_sts = nullptr;
    QLabel* lblManualADelay_sts = nullptr;
    QLabel* lblManualSDelay_sts = nullptr;
    std::array<QLabel*, kZones> lblProfileName_sts{};
    std::array<QLabel*, kZones> lblProfileType_sts{};
    std::array<QLabel*, kOutputs> shpOutput_sts{};
    QPushButton* cmdPrint_sts = nullptr;
    /// The report under a name of the user's choosing, and through the print dialog.
    QPushButton* cmdSaveAs_sts = nullptr;
    QPushButton* cmdPrintDialog_sts = nullptr;
    QLabel* lblReadAt_sts = nullptr;

private:
    QLabel* makeValueLabel(const QString& name);
    QGroupBox* makeZoneFrame(int zone);
    static void setOutput(QLabel* indicator, bool on);
    /// Whether the last status read gave the widget's value; its tooltip says when it was read
    /// otherwise.
    static void MarkFresh(QWidget* widget, const Tarn_Inputs& inputs, Tarn_Inputs::Part part);
    /// Greys every value that is stale or was not read now.
    void ApplyFreshness();

    QList<QWidget*> m_values;
    QDateTime m_readAt;
    bool m_stale = false;
};
