#include "ProgramHome.h"
#include "ScriptedMessageBoxes.h"
#include "SimProcess.h"

#include "ui/main/StatusPage.h"
#include "ui/main/frmMain.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>

using Kind = ScriptedMessageBoxes::Kind;

namespace {
constexpr int kWaitMs = 5000;

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// The lines of a report; every line must end in CR LF.
QList<QByteArray> ReportLines(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& line : lines) {
        if (!line.endsWith('\r'))
            return {};
        line.chop(1);
    }
    return lines;
}
} // namespace

/// The status report as the window writes it: bytes in tarn.sts, the editor started on it.
class tst_StatusReportFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void beforeAnyRead();
    void afterRead();
    void secondSaveReplaces();
    void editorGetsPathAsOneArgument();
    void unwritableReport();
    void editorMissing();

private:
    /// The program with COM1 on `device`; `sim` true starts the simulator there first.
    bool start(bool sim);
    QString reportPath() const { return m_home->filePath(QStringLiteral("tarn.sts")); }

    std::unique_ptr<ProgramHome> m_home;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<ScriptedMessageBoxes> m_boxes;
    std::unique_ptr<frmMain> m_window;
};

void tst_StatusReportFile::initTestCase()
{
    QLocale::setDefault(QLocale::c());
}

void tst_StatusReportFile::cleanup()
{
    if (m_boxes)
        QCOMPARE(m_boxes->pending(), 0);
    m_window.reset();
    m_sim.reset();
    m_boxes.reset();
    m_home.reset();
    qputenv("TARN_EDITOR", "/bin/true");
}

bool tst_StatusReportFile::start(bool sim)
{
    qputenv("TARN_EDITOR", "/bin/true");
    QString device = QStringLiteral("/nonexistent/tty");
    if (sim) {
        m_sim = std::make_unique<SimProcess>();
        QString errText;
        if (!m_sim->start({}, errText) ||
            !m_sim->command(QStringLiteral("delays 1E0A05FF010203050F00")) ||
            !m_sim->command(QStringLiteral("inputs 0F6014")) ||
            !m_sim->command(QStringLiteral("profile 2 42")))
            return false;
        device = m_sim->slavePath();
    }
    m_home = std::make_unique<ProgramHome>();
    if (!m_home->installIni(device))
        return false;
    m_boxes = std::make_unique<ScriptedMessageBoxes>();
    m_window = std::make_unique<frmMain>(*m_boxes);
    return m_window->Load();
}

void tst_StatusReportFile::beforeAnyRead()
{
    QVERIFY(start(false));
    m_window->picSts->cmdPrint_sts->click();
    const QList<QByteArray> lines = ReportLines(ReadAll(reportPath()));
    QCOMPARE(lines.size(), 13 + 3 * 8);
    QVERIFY(lines[0].startsWith("Tarn Status "));
    QVERIFY(lines[0].size() > QByteArray("Tarn Status ").size());
    QCOMPARE(lines[2], QByteArray("Serial number: ###"));
    QCOMPARE(lines[5], QByteArray("Last serviced: ###"));
    QCOMPARE(lines[6], QByteArray("CPU Version: ###"));
    QCOMPARE(lines[8], QByteArray("Temperature: ###  ###"));
    QCOMPARE(lines[12], QByteArray("Manual Stop delay: ###"));
    const char* const types[] = {"No diverting valve", "Diverting valve 1", "Diverting valve 2"};
    for (int z = 0; z < 3; ++z) {
        const int first = 13 + 8 * z;
        QCOMPARE(lines[first + 2], QByteArray(" Profile name: ###"));
        QCOMPARE(lines[first + 3], QByteArray(" Profile type: ") + types[z]);
        for (int m = 1; m <= 4; ++m)
            QCOMPARE(lines[first + 3 + m], " Output " + QByteArray::number(m) + ": False");
    }
    QCOMPARE(lines[13 + 16 + 1], QByteArray("Detector 3 or Manual release 3"));
}

void tst_StatusReportFile::afterRead()
{
    QVERIFY(start(true));
    m_window->picSts->cmdPrint_sts->click();
    const QByteArray bytes = ReadAll(reportPath());
    QCOMPARE(bytes.count("\r\n"), bytes.count('\n'));
    const QList<QByteArray> lines = ReportLines(bytes);
    QCOMPARE(lines.size(), 13 + 3 * 8);
    QCOMPARE(lines[6], QByteArray("CPU Version: V 2.07"));
    QCOMPARE(lines[8], QByteArray("Temperature: 20 \xB0"
                                  "C  68 \xB0"
                                  "F"));
    QCOMPARE(lines[10], QByteArray("Detector Alarm delay: 30 s"));
    QCOMPARE(lines[13 + 16 + 2], QByteArray(" Profile name: Unknown (42)"));
    // Outputs 05, 0F, 00.
    const QList<QByteArray> expected{"True", "False", "True",  "False", "True",  "True",
                                     "True", "True",  "False", "False", "False", "False"};
    for (int z = 0; z < 3; ++z) {
        for (int m = 1; m <= 4; ++m)
            QCOMPARE(lines[13 + 8 * z + 3 + m],
                     " Output " + QByteArray::number(m) + ": " + expected[4 * z + m - 1]);
    }
}

void tst_StatusReportFile::secondSaveReplaces()
{
    QVERIFY(start(false));
    QFile earlier(reportPath());
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write(QByteArray(20000, 'x'));
    earlier.close();

    m_window->picSts->cmdPrint_sts->click();
    const QByteArray first = ReadAll(reportPath());
    QVERIFY(first.startsWith("Tarn Status "));
    QVERIFY(!first.contains('x'));

    m_window->picSts->lblSerialNo_sts->setText(QStringLiteral("987"));
    m_window->picSts->cmdPrint_sts->click();
    const QList<QByteArray> lines = ReportLines(ReadAll(reportPath()));
    QCOMPARE(lines.size(), 13 + 3 * 8);
    QCOMPARE(lines[2], QByteArray("Serial number: 987"));
}

void tst_StatusReportFile::editorGetsPathAsOneArgument()
{
    QVERIFY(start(false));
    // The program folder's name holds a space; the editor must get the path whole.
    QVERIFY(m_home->path().contains(u' '));
    const QString script = m_home->filePath(QStringLiteral("editor.sh"));
    const QString record = m_home->filePath(QStringLiteral("arguments"));
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"$(dirname \"$0\")/arguments\"\n");
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("TARN_EDITOR", script.toLocal8Bit());

    m_window->picSts->cmdPrint_sts->click();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromLocal8Bit(ReadAll(record)),
                              QStringLiteral("1|") + QDir::toNativeSeparators(reportPath()),
                              kWaitMs);
}

void tst_StatusReportFile::unwritableReport()
{
    QVERIFY(start(false));
    // A folder in the report's place cannot be replaced by a file.
    QVERIFY(QDir(m_home->path()).mkdir(QStringLiteral("tarn.sts")));
    m_boxes->expect(Kind::Critical, QStringLiteral("The status report could not be saved as ") +
                                        QDir::toNativeSeparators(reportPath()) + u'*');
    m_window->picSts->cmdPrint_sts->click();
    QVERIFY(QFileInfo(reportPath()).isDir());
}

void tst_StatusReportFile::editorMissing()
{
    QVERIFY(start(false));
    qputenv("TARN_EDITOR", "/nonexistent/editor");
    m_boxes->expect(Kind::Critical,
                    QStringLiteral("The text editor /nonexistent/editor could not be started.*"));
    m_window->picSts->cmdPrint_sts->click();
    // The report itself was written.
    QVERIFY(ReadAll(reportPath()).startsWith("Tarn Status "));
}

QTEST_MAIN(tst_StatusReportFile)
#include "tst_statusreportfile.moc"
