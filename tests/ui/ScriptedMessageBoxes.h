#pragma once

#include "eventloop/WaitDepth.h"
#include "ui/main/MessageBoxes.h"

#include <QList>
#include <QPrinter>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTest>

/// Message boxes answered from a script. A box that was not expected, or whose text differs,
/// fails the running test.
class ScriptedMessageBoxes : public MessageBoxes
{
public:
    enum class Kind
    {
        Info,
        Critical,
        Plain,
        QuestionYesNo,
        QuestionOkCancel,
        QuestionOkCancelDefaultCancel,
        Choice
    };

    /// Expects the next box. A "*" in `text` or `informative` stands for any text (none
    /// included). A null `informative` leaves the box's informative text unchecked; an empty
    /// one expects none.
    void expect(Kind kind, const QString& text, bool answer = true,
                const QString& informative = QString())
    {
        m_script.append({kind, text, informative, answer});
    }
    /// Expects a question with choices, and answers the one at `index` (-1: Cancel).
    void expectChoice(const QString& text, int index, const QString& informative = QString())
    {
        m_script.append({Kind::Choice, text, informative, false, index});
    }
    /// Expects the save dialog, and answers `path` (empty: cancelled).
    void expectSaveFile(const QString& path) { m_files.append(path); }
    /// Expects the open dialog, and answers `path` (empty: cancelled).
    void expectOpenFile(const QString& path) { m_opens.append(path); }
    /// Expects the print dialog, and prints into the PDF file `path` (empty: cancelled).
    void expectPrint(const QString& path) { m_prints.append(path); }
    QString saveFileName(const QString& suggested, const QString&) override
    {
        m_suggested = suggested;
        return TakePath(m_files, "save dialog");
    }
    QString openFileName(const QString&, const QString&) override
    {
        return TakePath(m_opens, "open dialog");
    }
    bool choosePrinter(QPrinter& printer, const QString& suggestedPdf) override
    {
        outsideWaits(QStringLiteral("print dialog"));
        m_suggested = suggestedPdf;
        if (m_prints.isEmpty()) {
            QTest::qFail("unexpected print dialog", __FILE__, __LINE__);
            return false;
        }
        const QString path = m_prints.takeFirst();
        if (path.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        return true;
    }
    /// Expects a text input box whose text is `text` ("*" as in expect()), and answers `answer`
    /// (a null answer: cancelled).
    void expectInput(const QString& text, const QString& answer)
    {
        m_inputs.append({text, answer});
    }
    QString inputText(const QString& text, const QString&, bool& ok) override
    {
        outsideWaits(QStringLiteral("input box \"%1\"").arg(text));
        if (m_inputs.isEmpty() || !Matches(text, m_inputs.first().first)) {
            QTest::qFail(qPrintable(QStringLiteral("unexpected input box: %1").arg(text)), __FILE__,
                         __LINE__);
            ok = false;
            return {};
        }
        const QString answer = m_inputs.takeFirst().second;
        ok = !answer.isNull();
        return answer;
    }
    /// The path the last save or print dialog suggested.
    QString suggested() const { return m_suggested; }

    /// Expectations not met yet.
    int pending() const
    {
        return static_cast<int>(m_script.size() + m_files.size() + m_opens.size() +
                                m_prints.size() + m_inputs.size());
    }

    void info(const QString& text, const QString& informative = {}) override
    {
        answer(Kind::Info, text, informative);
    }
    void critical(const QString& text, const QString& informative = {}) override
    {
        answer(Kind::Critical, text, informative);
    }
    void plain(const QString& text, const QString& informative = {}) override
    {
        answer(Kind::Plain, text, informative);
    }
    bool questionYesNo(const QString& text, const QString& informative = {}) override
    {
        return answer(Kind::QuestionYesNo, text, informative);
    }
    bool questionOkCancel(const QString& text, const QString& informative = {}) override
    {
        return answer(Kind::QuestionOkCancel, text, informative);
    }
    bool questionOkCancelDefaultCancel(const QString& text,
                                       const QString& informative = {}) override
    {
        return answer(Kind::QuestionOkCancelDefaultCancel, text, informative);
    }
    int choose(const QString& text, const QString& informative, const QStringList&) override
    {
        const int index = m_script.isEmpty() ? -1 : m_script.first().choice;
        answer(Kind::Choice, text, informative);
        return index;
    }

    /// True when `text` is `pattern`, each "*" in it standing for any text.
    static bool Matches(const QString& text, const QString& pattern)
    {
        const QString any = QRegularExpression::escape(pattern).replace(QStringLiteral("\\*"),
                                                                        QStringLiteral(".*"));
        return QRegularExpression(QRegularExpression::anchoredPattern(any),
                                  QRegularExpression::DotMatchesEverythingOption)
            .match(text)
            .hasMatch();
    }

private:
    struct Expected
    {
        Kind kind = Kind::Info;
        QString text;
        QString informative;
        bool answer = false;
        int choice = -1;
    };
    /// A modal window opened inside a wait holds the wait back (an output's off word among
    /// it): every box and dialog must wait for the wait's end.
    static void outsideWaits(const QString& what)
    {
        if (!WaitDepth::Idle())
            QTest::qFail(qPrintable(QStringLiteral("%1 opened inside a wait").arg(what)), __FILE__,
                         __LINE__);
    }
    /// The answer scripted for a file dialog; the test fails when none is.
    static QString TakePath(QStringList& paths, const char* dialog)
    {
        outsideWaits(QString::fromLatin1(dialog));
        if (paths.isEmpty())
            QTest::qFail(qPrintable(QStringLiteral("unexpected ") + dialog), __FILE__, __LINE__);
        return paths.isEmpty() ? QString() : paths.takeFirst();
    }
    bool answer(Kind kind, const QString& text, const QString& informative)
    {
        outsideWaits(QStringLiteral("message box \"%1\"").arg(text));
        const Expected expected = m_script.isEmpty() ? Expected{} : m_script.takeFirst();
        const bool matches =
            Matches(text, expected.text) &&
            (expected.informative.isNull() || Matches(informative, expected.informative));
        if (expected.text.isNull() || expected.kind != kind || !matches) {
            QTest::qFail(
                qPrintable(QStringLiteral("unexpected message box: %1 [%2] (expected: "
                                          "%3 [%4])")
                               .arg(text, informative, expected.text, expected.informative)),
                __FILE__, __LINE__);
        }
        return expected.answer;
    }

    QList<Expected> m_script;
    QStringList m_files;
    QStringList m_opens;
    QStringList m_prints;
    QList<QPair<QString, QString>> m_inputs;
    QString m_suggested;
};
