#pragma once

#include <QWidget>

#include <cstdint>

/// The function-test page (picTest). The main window reads ScanInputsOn and TestModeTicks
/// and drives the page's periodic work from its update timer.
class TestPage : public QWidget
{
    Q_OBJECT
public:
    explicit TestPage(QWidget* parent = nullptr);

    bool ScanInputsOn = false;
    int16_t TestModeTicks = 0;

    /// The input-scan switch; also run when the test tab is selected.
    void handleScanInputsClicked();
    /// One update-timer tick while the input scan is on.
    void PeriodicWork();
};
