#include "ui/main/TextEditorLauncher.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace {

const QString kOpener = QStringLiteral("xdg-open");

/// Desktop text editors that open a file given as their argument.
const char* const kKnownEditors[] = {"mousepad", "gedit", "gnome-text-editor", "kate",    "kwrite",
                                     "pluma",    "xed",   "featherpad",        "leafpad", "geany"};

/// Runs xdg-open and waits, with the window alive, for its verdict. One still busy after the
/// time-out has found a program and goes on by itself.
bool RunOpener(const QString& program, const QString& path)
{
    auto* opener = new QProcess(QCoreApplication::instance());
    opener->setProgram(program);
    opener->setArguments({path});
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(opener, &QProcess::finished, opener, &QObject::deleteLater);
    opener->start();
    if (!opener->waitForStarted()) {
        opener->deleteLater();
        return false;
    }
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    bool ended = false;
    bool succeeded = false;
    // The loop is the context: a verdict that comes after we stopped waiting goes nowhere.
    QObject::connect(opener, &QProcess::finished, &loop,
                     [&](int exitCode, QProcess::ExitStatus status) {
                         ended = true;
                         succeeded = status == QProcess::NormalExit && exitCode == 0;
                         loop.quit();
                     });
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(TextEditorLauncher::kOpenerVerdictTimeout);
    loop.exec();
    return !ended || succeeded;
}

/// `commandLine` is a program's path, or a program with arguments as $EDITOR may hold them.
bool StartDetached(const QString& commandLine, const QString& path)
{
    if (QFileInfo(commandLine).isFile())
        return QProcess::startDetached(commandLine, {path});
    QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return false;
    const QString program = words.takeFirst();
    words.append(path);
    return QProcess::startDetached(program, words);
}

} // namespace

QStringList TextEditorLauncher::Candidates()
{
    const QString chosen = qEnvironmentVariable("TARN_EDITOR");
    if (!chosen.isEmpty())
        return {chosen};
#ifdef Q_OS_WIN
    return {QStringLiteral("notepad.exe")};
#else
    QStringList candidates{kOpener};
    for (const char* variable : {"VISUAL", "EDITOR"}) {
        const QString value = qEnvironmentVariable(variable).trimmed();
        if (!value.isEmpty())
            candidates.append(value);
    }
    for (const char* editor : kKnownEditors) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(editor));
        if (!found.isEmpty())
            candidates.append(found);
    }
    return candidates;
#endif
}

bool TextEditorLauncher::Open(const QString& path, QString& errText)
{
    const QStringList candidates = Candidates();
    for (const QString& candidate : candidates) {
        const bool opened =
            candidate == kOpener ? RunOpener(candidate, path) : StartDetached(candidate, path);
        if (opened)
            return true;
    }
    errText = candidates.size() == 1
                  ? QStringLiteral("The text editor %1 could not be started.").arg(candidates[0])
                  : QStringLiteral("No text editor could be started (tried %1).")
                        .arg(candidates.join(QStringLiteral(", ")));
    return false;
}
