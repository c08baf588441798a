#pragma once

#include "ui/main/MessageBoxes.h"

#include <QList>
#include <QString>
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
        QuestionOkCancel
    };

    /// Expects the next box; a text ending in "*" matches every text that starts with the rest.
    void expect(Kind kind, const QString& text, bool answer = true)
    {
        m_script.append({kind, text, answer});
    }
    /// Expectations not met yet.
    int pending() const { return static_cast<int>(m_script.size()); }

    void info(const QString& text) override { answer(Kind::Info, text); }
    void critical(const QString& text) override { answer(Kind::Critical, text); }
    void plain(const QString& text) override { answer(Kind::Plain, text); }
    bool questionYesNo(const QString& text) override { return answer(Kind::QuestionYesNo, text); }
    bool questionOkCancel(const QString& text) override
    {
        return answer(Kind::QuestionOkCancel, text);
    }

private:
    struct Expected
    {
        Kind kind = Kind::Info;
        QString text;
        bool answer = false;
    };
    bool answer(Kind kind, const QString& text)
    {
        const Expected expected = m_script.isEmpty() ? Expected{} : m_script.takeFirst();
        const bool matches = expected.text.endsWith(u'*')
                                 ? text.startsWith(expected.text.chopped(1))
                                 : text == expected.text;
        if (expected.text.isNull() || expected.kind != kind || !matches) {
            QTest::qFail(qPrintable(QStringLiteral("unexpected message box: %1 (expected: %2)")
                                        .arg(text, expected.text)),
                         __FILE__, __LINE__);
        }
        return expected.answer;
    }

    QList<Expected> m_script;
};
