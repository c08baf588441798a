#include "ScriptedMessageBoxes.h"

#include <QTest>

bool ScriptedMessageBoxes::answer(Kind kind, const QString& text)
{
    m_shown.append(text);
    if (m_script.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected message box: ") + text), __FILE__,
                     __LINE__);
        return false;
    }
    const Expected expected = m_script.takeFirst();
    const bool textMatches = expected.text.endsWith(u'*')
                                 ? text.startsWith(expected.text.chopped(1))
                                 : text == expected.text;
    if (expected.kind != kind || !textMatches) {
        QTest::qFail(qPrintable(QStringLiteral("message box of another kind or text: ") + text +
                                QStringLiteral(" (expected: ") + expected.text + u')'),
                     __FILE__, __LINE__);
    }
    return expected.answer;
}
