#include "ui/setup/SetupWidgets.h"

#include "data/TarnDateTime.h"
#include "ui/main/DisplayFormat.h"

#include <QDateEdit>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace SetupWidgets {

namespace {
constexpr const char* kFontFamily = "Verdana";
} // namespace

QString Text(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

std::string Latin1Bytes(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string FieldDigits(const QString& text)
{
    QString ascii;
    ascii.reserve(text.size());
    for (const QChar c : text)
        ascii += c.isDigit() ? QChar(u'0' + c.digitValue()) : c;
    return Latin1Bytes(ascii);
}

QFont SetupFont(double points, bool bold)
{
    QFont font;
    if (QFontDatabase::hasFamily(Text(kFontFamily))) {
        font.setFamily(Text(kFontFamily));
    } else {
        font.setFamily(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
        font.setStyleHint(QFont::SansSerif);
    }
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont WindowDefaultFont()
{
    QFont font = QFont();
    font.setFamily(font.family());
    font.setPointSizeF(font.pointSizeF());
    font.setBold(font.bold());
    return font;
}

QGroupBox* Group(const char* name, const char* caption, double points)
{
    auto* group = new QGroupBox(Text(caption));
    group->setObjectName(Text(name));
    group->setFont(SetupFont(points));
    return group;
}

QLabel* Label(std::array<QLabel*, 14>& labels, int index, const char* caption)
{
    auto* label = new QLabel(Text(caption));
    label->setObjectName(QStringLiteral("Label1_%1").arg(index));
    label->setFont(SetupFont(kControlPoints));
    labels[index] = label;
    return label;
}

QPushButton* Button(const char* name, const char* caption, const char* toolTip)
{
    auto* button = new QPushButton(Text(caption));
    button->setObjectName(Text(name));
    button->setToolTip(Text(toolTip));
    button->setFont(SetupFont(kZoneFramePoints));
    // Enter in a field must not press a button that sends something.
    button->setAutoDefault(false);
    return button;
}

QLineEdit* TextBox(const char* name)
{
    auto* box = new QLineEdit;
    box->setObjectName(Text(name));
    box->setFont(SetupFont(kControlPoints));
    return box;
}

QDateEdit* DatePicker(const char* name)
{
    auto* picker = new QDateEdit;
    picker->setObjectName(Text(name));
    picker->setFont(SetupFont(kControlPoints));
    picker->setCalendarPopup(true);
    // Tarn packs years 2000 to 2255 only: the picker offers nothing else.
    picker->setDateRange(kFirstPickerDate, kLastPickerDate);
    picker->setDate(QDate::currentDate());
    return picker;
}

QString DateText(const TarnDateTime& value)
{
    return value.IsZero() ? QStringLiteral("none")
                          : DisplayFormat::GeneralDateTime(value.DatePart());
}

TarnDateTime PickerValue(const QDateEdit* picker)
{
    const QDate date = picker->date();
    return TarnDateTime::FromParts(date.year(), date.month(), date.day());
}

void SetPickerValue(QDateEdit* picker, const TarnDateTime& value)
{
    // No stored date (or one the picker cannot offer) leaves today's date to choose from.
    const QDate date(value.Year(), value.Month(), value.Day());
    if (!value.IsZero() && date >= kFirstPickerDate && date <= kLastPickerDate)
        picker->setDate(date);
}

} // namespace SetupWidgets
