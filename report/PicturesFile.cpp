#include "report/PicturesFile.h"

#include "config/FileReplace.h"
#include "report/PicturesPainter.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <string>

namespace {
bool IsSvg(const QString& path)
{
    return path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive);
}
} // namespace

QByteArray PicturesFile::Png(const HistoryPictures::Series& series, const QDateTime& from,
                             const QDateTime& to)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        PicturesPainter::Draw(painter, image.rect(), series, from, to);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "PNG") ? bytes : QByteArray();
}

QByteArray PicturesFile::Svg(const HistoryPictures::Series& series, const QDateTime& from,
                             const QDateTime& to, const QString& title)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(kWidth, kHeight));
    svg.setViewBox(QRect(0, 0, kWidth, kHeight));
    svg.setTitle(title);
    QPainter painter;
    if (!painter.begin(&svg))
        return QByteArray();
    PicturesPainter::Draw(painter, QRectF(0, 0, kWidth, kHeight), series, from, to);
    return painter.end() ? bytes : QByteArray();
}

bool PicturesFile::Write(const HistoryPictures::Series& series, const QString& path,
                         const QString& title, QString& errText)
{
    std::string err;
    const std::string target = QFile::encodeName(path).toStdString();
    if (!CanReplaceFile(target, err)) {
        errText = QString::fromLocal8Bit(err);
        return false;
    }
    const auto [from, to] = PicturesPainter::FullRange(series);
    const QByteArray bytes = IsSvg(path) ? Svg(series, from, to, title) : Png(series, from, to);
    if (bytes.isEmpty()) {
        errText = QStringLiteral("The pictures could not be drawn.");
        return false;
    }
    if (!ReplaceFileContent(target, std::string_view(bytes.constData(), bytes.size()), err)) {
        errText = QString::fromLocal8Bit(err);
        return false;
    }
    return true;
}

bool PicturesFile::Drawable(const QString& path)
{
    return IsSvg(path) || path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive);
}
