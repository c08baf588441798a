#include "controller/ConnectionState.h"

#include "controller/DisplayFormat.h"
#include "controller/StatusCycle.h"
#include "link/ConnectionAdvice.h"
#include "link/SerialPort.h"
#include "link/Tarn_Comm.h"

#include <QLocale>
#include <QRegularExpression>

namespace {
const QString kSeparator = QStringLiteral(" \u2014 ");
}

QString ConnectionState::WithoutErrorNumber(const QString& errorText)
{
    static const QRegularExpression number(QStringLiteral("^\\d+ - "));
    return QString(errorText).remove(number);
}

QString ConnectionState::Text(const Tarn_Comm& link)
{
    QString where = QStringLiteral("COM%1").arg(link.CommPort);
    if (link.comm && !link.comm->deviceName().isEmpty())
        where += u' ' + link.comm->deviceName();
    const QString baud = link.CommSettings.section(u',', 0, 0).trimmed();
    if (!baud.isEmpty())
        where += QStringLiteral(", %1 baud").arg(baud);

    QString state;
    if (!link.isStarted()) {
        const QString why = link.comm ? WithoutErrorNumber(link.comm->errorText()) : QString();
        state =
            QStringLiteral("Not open") + (why.isEmpty() ? QString() : QStringLiteral(": ") + why);
    } else if (link.isDeviceGone()) {
        state =
            QStringLiteral("Device gone: %1").arg(link.comm ? link.comm->deviceName() : QString());
    } else if (link.isFailing() || !link.lastAnswerTime().isValid()) {
        state = link.lastAnswerTime().isValid()
                    ? QStringLiteral("No answer since %1")
                          .arg(link.lastAnswerTime().time().toString(QStringLiteral("HH:mm:ss")))
                    : QStringLiteral("No answer yet");
    } else {
        const Tarn_Inputs& inputs = link.Inputs;
        state = QStringLiteral("Connected");
        if (inputs.CPUVersion > 0) {
            state += kSeparator + DisplayFormat::Version(inputs.CPUVersion).remove(u' ');
            if (inputs.CPUVersion >= StatusCycle::kAdminDataVersion && !inputs.SerialNumber.empty())
                state += QStringLiteral(", serial ") + DisplayFormat::Text(inputs.SerialNumber);
        }
    }
    return where + kSeparator + state;
}

QString ConnectionState::Advice(const Tarn_Comm& link)
{
    return link.comm ? ConnectionAdvice(*link.comm) : QString();
}
