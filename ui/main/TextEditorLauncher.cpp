#include "ui/main/TextEditorLauncher.h"

#include <QProcess>

QString TextEditorLauncher::EditorProgram()
{
    const QString chosen = qEnvironmentVariable("TARN_EDITOR");
    if (!chosen.isEmpty())
        return chosen;
#ifdef Q_OS_WIN
    return QStringLiteral("notepad.exe");
#else
    return QStringLiteral("xdg-open");
#endif
}

bool TextEditorLauncher::Open(const QString& path, QString& errText)
{
    const QString program = EditorProgram();
    if (QProcess::startDetached(program, {path}))
        return true;
    errText = QStringLiteral("The text editor %1 could not be started.").arg(program);
    return false;
}
