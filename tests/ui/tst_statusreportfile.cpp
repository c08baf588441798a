#include "RunningProgram.h"
#include "TestFiles.h"

#include "ui/main/StatusPage.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTest>

using Kind = ScriptedMessageBoxes::Kind;
using namespace Qt::StringLiterals;

namespace {
constexpr int kWaitMs = 5000;
constexpr int kReportLines = 13 + 3 * 8;
} // namespace

/// The status report as the window writes it: bytes in tarn.sts, the editor started on it.
class tst_StatusReportFile : public QObject
{
    Q_OBJECT
    std::unique_ptr<RunningProgram> m_program;
    QString reportPath() const { return m_program->home.filePath(u"tarn.sts"_s); }
    void save() { m_program->window->picSts->cmdPrint_sts->click(); }
    /// The lines of tarn.sts; every one must end in CR LF.
    QStringList reportLines() const
    {
        const QString text = QString::fromLatin1(ReadAll(reportPath()));
        if (!text.endsWith(u"\r\n"_s) || text.count(u"\r\n"_s) != text.count(u'\n'))
            return {};
        return text.chopped(2).split(u"\r\n"_s);
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init()
    {
        qputenv("TARN_EDITOR", "/bin/true");
        m_program = std::make_unique<RunningProgram>();
    }
    void cleanup()
    {
        QCOMPARE(m_program->boxes.pending(), 0);
        m_program.reset();
        QLocale::setDefault(QLocale::c());
    }

    void report_data()
    {
        QTest::addColumn<bool>("read");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("lines"); ///< "index|text", Latin-1: the degree sign is 0xB0
        QTest::newRow("before any read")
            << false << "C"
            << QStringList{"25| Output 1: False", "2|Serial number: ###", "8|Temperature: ###  ###",
                           "31| Profile name: ###", "30|Detector 3 or Manual release 3"};
        // Outputs 05, 0F, 00; the layout of the whole file is tst_statusreport's.
        const QStringList afterRead{"6|CPU Version: V 2.07",
                                    u"8|Temperature: 20 \u00B0C  68 \u00B0F"_s,
                                    "10|Detector Alarm delay: 30 s",
                                    "31| Profile name: Unknown (42)",
                                    "17| Output 1: True",
                                    "18| Output 2: False",
                                    "25| Output 1: True"};
        QTest::newRow("after a read") << true << "C" << afterRead;
        // Arabic digits have no Latin-1 code: the values are written in the C form.
        QTest::newRow("after a read, Arabic") << true << "ar_EG" << afterRead;
    }

    void report()
    {
        QFETCH(bool, read);
        QFETCH(QString, locale);
        QFETCH(QStringList, lines);
        QLocale::setDefault(QLocale(locale));
        if (read) {
            QVERIFY(m_program->startSim(
                {}, {u"delays 1E0A05FF010203050F00"_s, u"inputs 0F6014"_s, u"profile 2 42"_s}));
        }
        QVERIFY(m_program->load(read ? QString() : u"/nonexistent/tty"_s));
        // A longer earlier report is replaced whole: anything left of it breaks the line count.
        QFile earlier(reportPath());
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write(QByteArray(20000, 'x')) > 0);
        earlier.close();
        save();
        const QStringList report = reportLines();
        QCOMPARE(report.size(), kReportLines);
        QVERIFY(report[0].startsWith(u"Tarn Status "_s) && report[0].size() > 12);
        QVERIFY2(!report.join(u'\n').contains(u'?'), qPrintable(report.join(u'\n')));
        for (const QString& line : lines)
            QCOMPARE(report[line.section(u'|', 0, 0).toInt()], line.section(u'|', 1));
    }

    /// tarn status --output writes the report the window writes, from the same controller
    /// state: the same read cycle and the same lines. Only the times may differ.
    void sameAsCommandLine_data()
    {
        QTest::addColumn<QStringList>("simOptions");
        QTest::newRow("firmware 2.07") << QStringList();
        QTest::newRow("firmware 2.05") << QStringList{u"--version"_s, u"V2.05"_s};
    }

    void sameAsCommandLine()
    {
        QFETCH(QStringList, simOptions);
        QVERIFY(m_program->startSim(simOptions, {u"inputs 0F6014"_s, u"profile 2 42"_s}));
        QVERIFY(m_program->load());
        save();
        QStringList window = reportLines();
        QCOMPARE(window.size(), kReportLines);
        // The port is the command line's now.
        m_program->window->tarn->StopCom();

        QProcess tarn;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"LC_ALL"_s, u"C"_s);
        tarn.setProcessEnvironment(env);
        tarn.start(qEnvironmentVariable("TARN_BIN") + u"/tarn"_s,
                   {u"status"_s, u"--output"_s, reportPath()});
        QVERIFY(tarn.waitForFinished(30000));
        QCOMPARE(tarn.exitCode(), 0);
        QStringList commandLine = reportLines();
        QCOMPARE(commandLine.size(), kReportLines);
        constexpr int kClockLine = 9;
        for (QStringList* lines : {&window, &commandLine}) {
            QVERIFY((*lines)[kClockLine].startsWith(u"Tarn Date/Time: "_s));
            (*lines)[0].truncate(12);
            (*lines)[kClockLine].truncate(16);
        }
        QCOMPARE(commandLine, window);
    }

    void editor_data()
    {
        QTest::addColumn<QString>("editor"); ///< "script": one that records its arguments
        QTest::addColumn<bool>("folderInTheWay");
        QTest::addColumn<QString>("box");
        // The program folder's name holds a space; the editor must get the path whole.
        QTest::newRow("path as one argument") << "script" << false << "";
        QTest::newRow("editor missing")
            << "/nonexistent/editor" << false
            << "The text editor /nonexistent/editor could not be started.*";
        // Without TARN_EDITOR: xdg-open first, then $VISUAL or $EDITOR when it fails.
        QTest::newRow("xdg-open fails, $EDITOR opens it") << "fallback" << false << "";
        // A folder in the report's place cannot be replaced by a file.
        QTest::newRow("report cannot be written")
            << "/bin/true" << true << "The status report could not be saved as %1*";
    }

    void editor()
    {
        QFETCH(QString, editor);
        QFETCH(bool, folderInTheWay);
        QFETCH(QString, box);
        QVERIFY(m_program->load(u"/nonexistent/tty"_s));
        QVERIFY(m_program->home.path().contains(u' '));
        const QString record = m_program->home.filePath(u"arguments"_s);
        const bool fallback = editor == u"fallback";
        if (editor == u"script" || fallback) {
            editor = m_program->home.filePath(u"editor.sh"_s);
            QFile file(editor);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(
                "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"$(dirname \"$0\")/arguments\"\n");
            file.close();
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        qputenv("TARN_EDITOR", editor.toLocal8Bit());
        const QByteArray path = qgetenv("PATH");
        if (fallback) {
            qunsetenv("TARN_EDITOR");
            qunsetenv("VISUAL");
            qputenv("EDITOR", editor.toLocal8Bit());
            QFile opener(m_program->home.filePath(u"xdg-open"_s));
            QVERIFY(opener.open(QIODevice::WriteOnly) && opener.write("#!/bin/sh\nexit 3\n") > 0);
            opener.close();
            QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
            qputenv("PATH", m_program->home.path().toLocal8Bit() + ":/usr/bin:/bin");
        }
        const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });
        QVERIFY(!folderInTheWay || QDir(m_program->home.path()).mkdir(u"tarn.sts"_s));
        if (!box.isEmpty())
            m_program->boxes.expect(Kind::Critical,
                                    box.replace(u"%1"_s, QDir::toNativeSeparators(reportPath())));
        save();
        QCOMPARE(QFileInfo(reportPath()).isDir(), folderInTheWay);
        QVERIFY(folderInTheWay || ReadAll(reportPath()).startsWith("Tarn Status "));
        if (editor.endsWith(u".sh"_s)) {
            QTRY_COMPARE_WITH_TIMEOUT(QString::fromLocal8Bit(ReadAll(record)),
                                      u"1|"_s + QDir::toNativeSeparators(reportPath()), kWaitMs);
        }
    }
};

QTEST_MAIN(tst_StatusReportFile)
#include "tst_statusreportfile.moc"
