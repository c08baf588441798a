#pragma once

#include "controller/HistoryPictures.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

/// A controller's pictures (PicturesPainter) as a PNG or SVG file: the History window's
/// exports and `tarn history plot`. Needs a QGuiApplication (the offscreen platform will do).
class PicturesFile
{
public:
    /// The size of a picture, in pixels.
    static constexpr int kWidth = 1600;
    static constexpr int kHeight = 1000;

    /// The time from `from` to `to`; empty when it could not be drawn.
    static QByteArray Png(const HistoryPictures::Series& series, const QDateTime& from,
                          const QDateTime& to);
    /// `title` names the drawing in the file.
    static QByteArray Svg(const HistoryPictures::Series& series, const QDateTime& from,
                          const QDateTime& to, const QString& title);
    /// All of the time, as PNG or SVG by the name's ending (any case); the old file stays whole
    /// when the write fails. False with `errText` then.
    static bool Write(const HistoryPictures::Series& series, const QString& path,
                      const QString& title, QString& errText);
    /// Whether `path` ends in .png or .svg (any case).
    static bool Drawable(const QString& path);
};
