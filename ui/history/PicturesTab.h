#pragma once

#include "history/HistoryArchive.h"
#include "report/PicturesFile.h"

#include <QWidget>

#include <functional>
#include <vector>

class MessageBoxes;
class PicturesCanvas;
class QLabel;
class QPushButton;

/// The History window's pictures of the controller chosen: its timeline, temperature curve and
/// events per month, exported as PNG or SVG as shown.
class PicturesTab : public QWidget
{
    Q_OBJECT

public:
    /// The size of an exported picture, in pixels.
    static constexpr int kExportWidth = PicturesFile::kWidth;
    static constexpr int kExportHeight = PicturesFile::kHeight;

    PicturesTab(MessageBoxes& boxes, QWidget* parent = nullptr);

    /// The pictures of these events of the controller `key`.
    void SetEvents(const std::vector<ArchivedEvent>& events, const ControllerKey& key);

    PicturesCanvas* picCanvas = nullptr;
    QLabel* lblPictures = nullptr;
    QPushButton* cmdExportPng = nullptr;
    QPushButton* cmdExportSvg = nullptr;

private:
    void handleExportPng();
    void handleExportSvg();
    /// Asks where to save and writes there what `render` makes (a failure is said).
    void Export(const QString& extension, const QString& filter,
                const std::function<QByteArray()>& render);

    MessageBoxes& m_boxes;
    ControllerKey m_key;
};
