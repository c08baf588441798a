#include "controller/FunctionTest.h"

#include "data/Tarn_Inputs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr qint64 kMillisecondsPerSecond = 1000;
constexpr qint64 kSecondsPerMinute = 60;

QJsonArray Array(const QStringList& list)
{
    QJsonArray array;
    for (const QString& item : list)
        array.append(item);
    return array;
}

QStringList List(const QJsonValue& value)
{
    QStringList list;
    for (const QJsonValue& item : value.toArray())
        list << item.toString();
    return list;
}

} // namespace

FunctionTest::FunctionTest(QStringList outputs, QDateTime startedAt)
    : m_outputs(std::move(outputs)), m_startedAt(std::move(startedAt))
{
    m_clock.start();
}

void FunctionTest::NoteInputs(const Tarn_Inputs& inputs)
{
    if (!isRunning())
        return;
    m_read = true;
    for (const QString& input : ActiveInputs(inputs))
        if (!m_inputs.contains(input))
            m_inputs << input;
}

void FunctionTest::Stop()
{
    if (!m_milliseconds && m_clock.isValid())
        m_milliseconds = m_clock.elapsed();
}

ArchivedChange FunctionTest::Finish() const
{
    const qint64 milliseconds = m_milliseconds      ? *m_milliseconds
                                : m_clock.isValid() ? m_clock.elapsed()
                                                    : 0;
    return Make(m_outputs, m_startedAt, milliseconds, m_inputs, m_read);
}

QStringList FunctionTest::ActiveInputs(const Tarn_Inputs& inputs)
{
    QStringList active;
    for (int16_t i = 0; i < Tarn_Inputs::kDetectors; ++i)
        if (inputs.Detector(i))
            active << QStringLiteral("Detector %1").arg(i + 1);
    for (int16_t i = 0; i < Tarn_Inputs::kManualTriggers; ++i)
        if (inputs.ManualTrigger(i))
            active << QStringLiteral("Manual release %1").arg(i + 1);
    return active;
}

ArchivedChange FunctionTest::Make(const QStringList& outputs, const QDateTime& startedAt,
                                  qint64 milliseconds, const QStringList& inputsSeen,
                                  bool inputsRead)
{
    ArchivedChange change;
    change.command = ArchivedChange::kFunctionTest;
    change.writtenAt = startedAt.toUTC();
    change.beforeJson = QStringLiteral("{}");
    const QJsonObject fields{
        {QStringLiteral("outputs"), Array(outputs)},
        {QStringLiteral("startedAt"), startedAt.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("milliseconds"), milliseconds},
        {QStringLiteral("inputsSeen"), Array(inputsSeen)},
        {QStringLiteral("inputsRead"), inputsRead}};
    change.afterJson = QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact));
    change.summary =
        QStringLiteral("Function test: ") + Text(outputs, milliseconds, inputsSeen, inputsRead);
    return change;
}

QString FunctionTest::Text(const QStringList& outputs, qint64 milliseconds,
                           const QStringList& inputsSeen, bool inputsRead)
{
    const QString inputs = !inputsSeen.isEmpty() ? inputsSeen.join(QStringLiteral(", "))
                           : inputsRead          ? QStringLiteral("none")
                                                 : QStringLiteral("none (inputs not read)");
    return QStringLiteral("%1 on for %2; inputs seen: %3")
        .arg(outputs.join(QStringLiteral(" and ")), Duration(milliseconds), inputs);
}

FunctionTest::Fields FunctionTest::Read(const ArchivedChange& change)
{
    const QJsonObject object = QJsonDocument::fromJson(change.afterJson.toUtf8()).object();
    Fields fields;
    fields.outputs = List(object.value(QStringLiteral("outputs")));
    fields.startedAt = QDateTime::fromString(object.value(QStringLiteral("startedAt")).toString(),
                                             Qt::ISODateWithMs);
    if (!fields.startedAt.isValid())
        fields.startedAt = change.writtenAt;
    fields.milliseconds = object.value(QStringLiteral("milliseconds")).toInteger();
    fields.inputsSeen = List(object.value(QStringLiteral("inputsSeen")));
    fields.inputsRead = object.value(QStringLiteral("inputsRead")).toBool();
    return fields;
}

QString FunctionTest::Duration(qint64 milliseconds)
{
    if (milliseconds < kMillisecondsPerSecond)
        return QStringLiteral("%1 s").arg(double(milliseconds) / kMillisecondsPerSecond, 0, 'f', 1);
    const qint64 seconds = (milliseconds + kMillisecondsPerSecond / 2) / kMillisecondsPerSecond;
    if (seconds < kSecondsPerMinute)
        return QStringLiteral("%1 s").arg(seconds);
    return QStringLiteral("%1 min %2 s")
        .arg(seconds / kSecondsPerMinute)
        .arg(seconds % kSecondsPerMinute);
}
