#pragma once

#include <QString>

/// Starts the system's text editor on a report and returns at once.
class TextEditorLauncher
{
public:
    /// TARN_EDITOR when set, else notepad.exe on Windows, else xdg-open.
    static QString EditorProgram();
    /// Starts the editor with `path` as its one argument, never through a shell. On a failure
    /// returns false with errText set.
    static bool Open(const QString& path, QString& errText);
};
