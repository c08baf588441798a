// The setup window's file buttons against tarn-sim: save, load and compare, a refused or
// read-only file, and a click inside a wait.

#include "SchemaCheck.h"
#include "SetupWindowTest.h"

#include <QTemporaryDir>

class tst_frmSetupFiles : public SetupWindowTest
{
    Q_OBJECT

private slots:
    /// Save to file (the values as read, or as edited), then Load or Compare with
    /// the file as saved or changed; neither sends anything.
    void files_data()
    {
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<int>("choice");          // answer to "as read or as edited"; -2: not asked
        QTest::addColumn<QString>("edited");      // the question's informative text
        QTest::addColumn<QStringList>("patches"); // "old=>new" in the saved file's text
        QTest::addColumn<QString>("action");      // load, compare, or readonly (the save fails)
        QTest::addColumn<QString>("box");         // after the action; "!" first: critical
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QStringList>("marked");
        const QStringList edits{u"txtManualStopDelay=90"_s, u"chkOutput_4=1"_s,
                                u"cboProfiles_2=8"_s, u"dtpInstallationDate=2024-06-01"_s};
        const QString edited = u"manual stop delay: 60 \u2192 90\nzone 2 outputs: 2 \u2192 1,2\n"
                               u"zone 3 profile: 3 Pulsed 2 min on, 1 min off, 15 min \u2192 8 "
                               u"Function test 30 s\ninstallation date: 2024-05-02 \u2192 "
                               u"2024-06-01"_s;
        const auto row = [](const char* name, const QStringList& edits, int choice,
                            const QString& edited, const QString& action, const QString& box = {},
                            const QString& detail = {}, const QStringList& marked = {},
                            const QStringList& patches = {}) {
            QTest::newRow(name) << edits << choice << edited << patches << action << box << detail
                                << marked;
        };
        // Every edit is marked, typed or loaded.
        const QStringList editsMarked{u"cboProfiles_2"_s, u"chkOutput_4"_s,
                                      u"dtpInstallationDate"_s, u"txtManualStopDelay"_s};
        row("round trip marks nothing", {}, -2, {}, u"load"_s);
        // What was loaded written whole, as tarn setup apply writes it: afterwards nothing
        // differs, so nothing is marked.
        row("loaded, then all written", edits, 1, edited, u"write all"_s);
        // What the window holds beyond its fields is the shown controller's.
        row("loaded, another Tarn connected: nothing written", edits, 1, edited,
            u"write all, other"_s,
            u"!Another Tarn is connected now: serial 777777, V2.07. This window showed "
            u"serial 123456."_s,
            u"Nothing was sent.*"_s);
        row("saved as edited, loaded: those marked", edits, 1, edited, u"load"_s, {}, {},
            editsMarked);
        row("saved as read", edits, 0, edited, u"compare"_s,
            u"No differences between Tarn (as last read) and setup.json."_s, {}, editsMarked);
        row("compared", edits, 1, edited, u"compare"_s, u"Tarn (as last read) \u2192 setup.json:"_s,
            edited, editsMarked);
        row("refused file", {}, -2, {}, u"load"_s, u"!*setup.json is refused."_s,
            u"zones[1].outputs: 5 is outside 1 to 4"_s, {}, {u"[2]=>[2, 5]"_s});
        row("profile defined otherwise in Tarn.INI", {}, -2, {}, u"load"_s,
            u"setup.json is loaded, but for what is listed below. *"_s,
            u"zone 1 profile 3 is defined differently in Tarn.INI*: not filled in"_s, {},
            {u"\"id\": 1,=>\"id\": 3,"_s});
        row("read-only file kept", {}, -2, {}, u"readonly"_s,
            u"!The setup could not be saved as *"_s);
    }

    void files()
    {
        QFETCH(QStringList, edits);
        QFETCH(int, choice);
        QFETCH(QString, edited);
        QFETCH(QStringList, patches);
        QFETCH(QString, action);
        QFETCH(QString, box);
        QFETCH(QString, detail);
        QFETCH(QStringList, marked);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"setup.json"_s);
        QFile file(path);
        QVERIFY(open());
        const int before = sim().journal().size();
        Enter(edits);
        const auto expectBox = [this](const QString& text, const QString& informative) {
            const bool critical = text.startsWith(u'!');
            boxes().expect(critical ? Kind::Critical : Kind::Info, text.mid(critical ? 1 : 0), true,
                           informative);
        };
        if (choice > -2)
            boxes().expectChoice(u"Fields differ from Tarn's values as last read. Which values "
                                 u"go into the file?"_s,
                                 choice, edited);
        boxes().expectSaveFile(path);
        if (action == u"readonly") {
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("old") == 3);
            file.close();
            QVERIFY(file.setPermissions(QFile::ReadOwner));
            expectBox(box, detail);
        } else {
            boxes().expect(Kind::Info, u"The setup was saved as %1."_s.arg(path));
        }
        m_setup->cmdSaveToFile->click();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray text = file.readAll();
        file.close();
        if (action == u"readonly") {
            QCOMPARE(text, "old");
            return;
        }
        const QByteArray saved = text;
        for (const QString& patch : patches)
            text.replace(patch.section(u"=>"_s, 0, 0).toUtf8(), patch.section(u"=>"_s, 1).toUtf8());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        file.close();
        // The schema takes what the window saved, and refuses what the window
        // refuses.
        QStringList verdicts;
        QString why;
        QVERIFY2(SchemaCheck::Verdicts({saved, text}, verdicts, why), qPrintable(why));
        QCOMPARE(verdicts.first(), u"valid"_s);
        QCOMPARE(verdicts.last() == u"valid", !box.contains(u"is refused"_s));

        boxes().expectOpenFile(path);
        if (!box.isEmpty())
            expectBox(box, detail);
        (action == u"compare" ? m_setup->cmdCompareWithFile : m_setup->cmdLoadFromFile)->click();
        if (action == u"write all, other") {
            // Its box is expected since the load.
            QVERIFY(sim().command(u"admin 000BDE31"_s + u"0"_s.repeated(32)));
            m_setup->cmdWriteAll->click();
            QCOMPARE(sim().journal().mid(before),
                     SimProcess::kStatusRead + SimProcess::kStatusRead);
            return;
        }
        if (action == u"write all") {
            QVERIFY(m_setup->cmdWriteAll->isEnabled());
            boxes().expect(Kind::QuestionOkCancel, u"Write all differences to Tarn?"_s, true,
                           u"*To write: delays, zone messages and outputs (98), zone 3 profile "
                           u"(104, 102), installation date (99)."_s);
            boxes().expect(Kind::Info, kUpdated, true, u"Written and verified: *"_s);
            m_setup->cmdWriteAll->click();
            const QStringList sent = sim().journal().mid(before);
            QCOMPARE(sent.mid(0, 8), SimProcess::kStatusRead);
            QCOMPARE(sent.mid(8, 3), (QStringList{u"64"_s, u"51"_s, u"55"_s}));
            QCOMPARE(sent.mid(sent.size() - 8), SimProcess::kStatusRead);
            QVERIFY(m_setup->Edits().isEmpty());
            QVERIFY(!m_setup->cmdWriteAll->isEnabled());
            return;
        }
        QStringList shown;
        for (const QWidget* field : m_setup->findChildren<QWidget*>()) {
            if (field->property(frmSetup::kDiffersProperty).toBool())
                shown << field->objectName();
        }
        shown.sort();
        QCOMPARE(shown, marked);
        if (marked.contains(u"txtManualStopDelay"_s))
            QCOMPARE(m_setup->txtManualStopDelay->toolTip(), u"Controller: 60 s"_s);
        // tools/screenshot.sh pictures the window with a file loaded.
        if (const QString folder = qEnvironmentVariable("TARN_SCREENSHOT_DIR");
            !folder.isEmpty() && !marked.isEmpty()) {
            QTRY_VERIFY(m_setup->lblPCTime->text() != u"-");
            m_setup->grab().save(folder + u"/screenshot-setup.png"_s);
        }
        QCOMPARE(sim().journal().size(), before);
    }

    /// A click inside a wait (the pause after a reply) opens no dialog there,
    /// which would hold the wait up: the work runs once the wait has ended.
    void fileButtonWaitsForTheWait()
    {
        QVERIFY(open());
        boxes().expectOpenFile(QString());
        QVERIFY(clickedInsideAWait(m_setup->cmdCompareWithFile));
    }
};

QTEST_MAIN(tst_frmSetupFiles)
#include "tst_frmsetupfiles.moc"
