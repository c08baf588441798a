#pragma once

#include "data/DateCodec.h"

#include <QDate>
#include <QFont>
#include <QString>

#include <array>
#include <string>

class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TarnDateTime;

/// The setup window's controls made alike: their fonts, the groups, labels, buttons, text
/// boxes and date pickers, and the texts and dates read from and put into them.
namespace SetupWidgets {

inline constexpr double kOuterGroupPoints = 11.25;
inline constexpr double kZoneFramePoints = 9.75;
inline constexpr double kControlPoints = 8.25;
/// The first and the last date a picker offers.
inline const QDate kFirstPickerDate(kPackedDateFirstYear, 1, 1);
inline const QDate kLastPickerDate(kPackedDateLastYear, 12, 31);

QString Text(const char* latin1);
std::string Latin1Bytes(const QString& text);
/// A number field's text for the checks: the locale's own digits (as the program fills the
/// fields in, Arabic-Indic ones for example) read as the ASCII digits they stand for.
std::string FieldDigits(const QString& text);
/// Verdana where it is installed, the desktop's sans-serif otherwise.
QFont SetupFont(double points, bool bold = false);
/// The application's font with every attribute set, so that a group's font does not pass on.
QFont WindowDefaultFont();
QGroupBox* Group(const char* name, const char* caption, double points);
QLabel* Label(std::array<QLabel*, 14>& labels, int index, const char* caption);
QPushButton* Button(const char* name, const char* caption, const char* toolTip);
QLineEdit* TextBox(const char* name);
QDateEdit* DatePicker(const char* name);
/// A date of the record or a picker in the locale's short form; "none" for no date.
QString DateText(const TarnDateTime& value);
TarnDateTime PickerValue(const QDateEdit* picker);
void SetPickerValue(QDateEdit* picker, const TarnDateTime& value);

} // namespace SetupWidgets
