// Replacing a file on a disk that fills up, and checking a destination before a long read.

#include "config/FileReplace.h"

#include "SmallDisk.h"
#include "TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestFileReplace : public QObject
{
    Q_OBJECT

private slots:
    void fullDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<qint64>("free");
        QTest::addColumn<int>("newSize");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("room enough") << qint64(32 * 1024) << 8 * 1024 << true;
        QTest::newRow("8 KB free, 40 KB to write") << qint64(8 * 1024) << 40 * 1024 << false;
        QTest::newRow("no room at all") << qint64(0) << 1024 << false;
    }

    /// A write that fails half-way leaves the old file as it was, and says why.
    void fullDiskKeepsTheOldFile()
    {
        QFETCH(qint64, free);
        QFETCH(int, newSize);
        QFETCH(bool, replaced);
        SmallDisk disk;
        if (!disk.mounted())
            QSKIP(SmallDisk::skipReason());
        const QString path = disk.filePath(u"events.tsv"_s);
        const QByteArray old = QByteArray("No\tTime\tTemp\tMessage\r\n").repeated(100);
        QVERIFY(WriteAll(path, old));
        QVERIFY(disk.fill(free));

        const QByteArray bytes(newSize, 'n');
        std::string errText;
        QCOMPARE(ReplaceFileContent(Std(path), bytes.toStdString(), errText), replaced);
        QCOMPARE(ReadAll(path), replaced ? bytes : old);
        QCOMPARE(QString::fromStdString(errText),
                 replaced ? QString() : u"No space left on device"_s);
        QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files), QStringList{u"events.tsv"_s});
    }

    void destinationChecked_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("errText");
        QTest::newRow("new file") << u"events.tsv"_s << false << QString();
        QTest::newRow("missing folder")
            << u"no/such/dir/events.tsv"_s << false << u"No such file or directory"_s;
        QTest::newRow("read-only file") << u"events.tsv"_s << true << u"Permission denied"_s;
    }

    /// The check of a destination makes (and removes) its temporary file, and nothing else.
    void destinationChecked()
    {
        QFETCH(QString, name);
        QFETCH(bool, readOnly);
        QFETCH(QString, errText);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (readOnly)
            QVERIFY(WriteAll(path, "old") && QFile::setPermissions(path, QFile::ReadOwner));
        std::string reason;
        QCOMPARE(CanReplaceFile(Std(path), reason), errText.isEmpty());
        QCOMPARE(QString::fromStdString(reason), errText);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 readOnly ? QStringList{u"events.tsv"_s} : QStringList());
    }
};

QTEST_GUILESS_MAIN(TestFileReplace)
#include "tst_filereplace.moc"
