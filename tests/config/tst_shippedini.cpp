// The Tarn.INI delivered with the program, read by the program's own loaders.

#include "data/Catalogues.h"
#include "data/ProfileCompiler.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

class TestShippedIni : public QObject
{
    Q_OBJECT

    std::string m_path;
    QByteArray m_bytes;
    /// The lines of each section, empty lines left out, by header name in file order.
    QList<std::pair<QString, QStringList>> m_sections;

    QStringList section(const QString& name) const
    {
        for (const auto& [header, lines] : m_sections)
            if (header == name)
                return lines;
        return {};
    }

private slots:
    void initTestCase()
    {
        const QString path = qEnvironmentVariable("TARN_SOURCE") + "/config/Tarn.INI";
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        m_path = path.toStdString();
        m_bytes = file.readAll();
        for (const QString& line : QString::fromLatin1(m_bytes).split("\r\n")) {
            if (line.startsWith('['))
                m_sections.append({line.mid(1, line.indexOf(']') - 1), {}});
            else if (!line.isEmpty() && !m_sections.isEmpty())
                m_sections.last().second << line;
        }
    }

    /// CR LF line ends, no control characters, and no port map: that is the installation's.
    void layout()
    {
        QVERIFY(section("PORTS").isEmpty());
        QVERIFY(m_bytes.endsWith("\r\n"));
        const QByteArray rest = QByteArray(m_bytes).replace("\r\n", "");
        for (const char c : rest)
            QVERIFY2(uchar(c) >= 0x20, "control character, or a CR or LF outside a CR LF pair");
    }

    /// Every line of the lists reaches the catalogues: nothing breaks a list early.
    void catalogueLoadsEveryLineAndEveryProfileCompiles()
    {
        std::string errText;
        QVERIFY2(LoadCatalogue(m_path, errText), errText.c_str());
        QCOMPARE(qsizetype(ProfileCatalogue.Count()), section("PROFILES").size());
        QCOMPARE(qsizetype(MessageCatalogue.Count()), section("MESSAGES").size());
        QVERIFY(ProfileCatalogue.Count() > 0 && MessageCatalogue.Count() > 0);
        for (const Tarn_Profile& profile : ProfileCatalogue)
            QVERIFY2(!CompileProfile(profile.Profile).empty(), profile.Profile.c_str());
    }

    void eventCodeRangesLoadWholeAndDoNotOverlap()
    {
        static const QRegularExpression range(R"(^Version=(\d+\.\d\d)-(\d+\.\d\d)$)");
        double previousHigh = -1;
        int sections = 0;
        for (const auto& [header, lines] : m_sections) {
            if (!header.startsWith("EVENT_CODES_"))
                continue;
            QCOMPARE(header, QString("EVENT_CODES_%1").arg(++sections));
            const auto match = range.match(lines.value(0));
            QVERIFY2(match.hasMatch(), qPrintable(lines.value(0)));
            const double low = match.captured(1).toDouble();
            const double high = match.captured(2).toDouble();
            QVERIFY2(previousHigh < low && low <= high, qPrintable(lines[0]));
            previousHigh = high;

            for (const double version : {low, high}) {
                std::string errText;
                QVERIFY2(LoadEventCodes(version, m_path, errText), errText.c_str());
                QCOMPARE(qsizetype(EventCodeCatalogue.Count()), lines.size() - 1);
                QCOMPARE(EventCodeCatalogue.begin()->key + "=" + EventCodeCatalogue.begin()->Text,
                         lines[1].toStdString());
            }
        }
        QCOMPARE(sections, 2);
    }
};

QTEST_GUILESS_MAIN(TestShippedIni)
#include "tst_shippedini.moc"
