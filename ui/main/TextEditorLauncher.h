#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

/// Starts the system's text editor on a report and returns once it runs.
class TextEditorLauncher
{
public:
    /// How long xdg-open is given to say whether it found a program for the file.
    static constexpr std::chrono::milliseconds kOpenerVerdictTimeout{5000};

    /// The programs tried, in order: TARN_EDITOR alone when set; notepad.exe on Windows;
    /// elsewhere xdg-open, then $VISUAL, $EDITOR and the known desktop text editors found.
    static QStringList Candidates();
    /// Starts the first candidate that works with `path` as its last argument, never through
    /// a shell. xdg-open counts as working only when it ends well. On a failure returns false
    /// with errText set.
    static bool Open(const QString& path, QString& errText);
};
