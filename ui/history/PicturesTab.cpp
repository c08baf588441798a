#include "ui/history/PicturesTab.h"

#include "config/FileReplace.h"
#include "controller/ReportFiles.h"
#include "eventloop/WaitDepth.h"
#include "report/PicturesFile.h"
#include "ui/history/PicturesCanvas.h"
#include "ui/main/MessageBoxes.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PicturesTab::PicturesTab(MessageBoxes& boxes, QWidget* parent) : QWidget(parent), m_boxes(boxes)
{
    setObjectName(QStringLiteral("tabPictures"));
    picCanvas = new PicturesCanvas;
    lblPictures = new QLabel(
        QStringLiteral("Mouse wheel: zoom; drag: move in time; double click: all of the time."));
    lblPictures->setObjectName(QStringLiteral("lblPictures"));
    cmdExportPng = new QPushButton(QStringLiteral("Export as &PNG\u2026"));
    cmdExportPng->setObjectName(QStringLiteral("cmdExportPng"));
    cmdExportSvg = new QPushButton(QStringLiteral("Export as S&VG\u2026"));
    cmdExportSvg->setObjectName(QStringLiteral("cmdExportSvg"));
    auto* row = new QHBoxLayout;
    row->addWidget(lblPictures);
    row->addStretch();
    row->addWidget(cmdExportPng);
    row->addWidget(cmdExportSvg);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picCanvas, 1);
    layout->addLayout(row);
    // The file dialog opens once a wait of the main window has ended.
    connect(cmdExportPng, &QPushButton::clicked, this,
            [this] { WaitDepth::WhenIdle(this, [this] { handleExportPng(); }); });
    connect(cmdExportSvg, &QPushButton::clicked, this,
            [this] { WaitDepth::WhenIdle(this, [this] { handleExportSvg(); }); });
}

void PicturesTab::SetEvents(const std::vector<ArchivedEvent>& events, const ControllerKey& key)
{
    m_key = key;
    picCanvas->SetSeries(HistoryPictures::Build(events));
    const bool any = !picCanvas->series().marks.empty();
    cmdExportPng->setEnabled(any);
    cmdExportSvg->setEnabled(any);
}

void PicturesTab::handleExportPng()
{
    Export(QStringLiteral("png"), QStringLiteral("PNG images (*.png);;All files (*)"), [this] {
        return PicturesFile::Png(picCanvas->series(), picCanvas->shownFrom(), picCanvas->shownTo());
    });
}

void PicturesTab::handleExportSvg()
{
    Export(QStringLiteral("svg"), QStringLiteral("SVG images (*.svg);;All files (*)"), [this] {
        return PicturesFile::Svg(
            picCanvas->series(), picCanvas->shownFrom(), picCanvas->shownTo(),
            m_key.SerialName().isEmpty()
                ? QStringLiteral("Tarn controller")
                : QStringLiteral("Tarn controller %1").arg(m_key.SerialName()));
    });
}

void PicturesTab::Export(const QString& extension, const QString& filter,
                         const std::function<QByteArray()>& render)
{
    const QString path = m_boxes.saveFileName(
        ReportFiles::SuggestedPath(ReportFiles::SuggestedName(
            m_key.serialNumber, QDate::currentDate(), QStringLiteral("pictures"), extension)),
        filter);
    if (path.isEmpty())
        return;
    const QByteArray bytes = render();
    std::string errText = "The picture could not be drawn.";
    if (bytes.isEmpty() ||
        !ReplaceFileContent(QFile::encodeName(path).toStdString(),
                            std::string_view(bytes.constData(), bytes.size()), errText))
        m_boxes.critical(QStringLiteral("The pictures could not be saved as %1.")
                             .arg(QDir::toNativeSeparators(path)),
                         QString::fromStdString(errText));
}
