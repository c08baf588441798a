#include "ui/setup/SetupEdits.h"

#include "data/Tarn_Inputs.h"
#include "protocol/WireEncoding.h"
#include "ui/main/DisplayFormat.h"
#include "ui/setup/SetupForm.h"
#include "ui/setup/SetupWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>

#include <cmath>

using namespace SetupWidgets;

namespace {

const QString kMarkStyle = QStringLiteral("background-color: #fff0a0; font-weight: bold;");
constexpr const char* kOwnToolTip = "ownToolTip";

QVariant Whole(double value)
{
    return QVariant::fromValue(static_cast<qulonglong>(std::llround(value)));
}

QVariant RecordDate(const TarnDateTime& value)
{
    const QDate date(value.Year(), value.Month(), value.Day());
    if (value.IsZero() || date < kFirstPickerDate || date > kLastPickerDate)
        return {};
    return date;
}

} // namespace

SetupEdits::SetupEdits(SetupForm& form, QObject* parent) : QObject(parent), m_form(form)
{
    m_fields = {
        {form.txtDetectorAlarmDelay, Block::Delays, QStringLiteral("Detector alarm delay")},
        {form.txtManualAlarmDelay, Block::Delays, QStringLiteral("Manual release alarm delay")},
        {form.txtManualStopDelay, Block::Delays, QStringLiteral("Manual release stop delay")}};
    for (int zone = 0; zone < SetupForm::kZones; ++zone) {
        m_fields.push_back({form.cboProfiles[zone], Block::Zones,
                            QStringLiteral("Zone %1 profile").arg(zone + 1)});
        for (int j = 0; j < SetupForm::kOutputsPerZone; ++j)
            m_fields.push_back({form.chkOutput[SetupForm::kOutputsPerZone * zone + j], Block::Zones,
                                QStringLiteral("Zone %1 output %2").arg(zone + 1).arg(j + 1)});
    }
    m_fields.push_back(
        {form.txtSerialNumber, Block::SerialNumber, QStringLiteral("Serial number")});
    m_fields.push_back(
        {form.dtpManufactoringDate, Block::Manufactured, QStringLiteral("Manufacturing date")});
    m_fields.push_back(
        {form.dtpInstallationDate, Block::Installed, QStringLiteral("Installation date")});
    m_fields.push_back({form.dtpServiceDate, Block::ServiceDate, QStringLiteral("Service date")});

    const auto changedNow = [this] {
        Mark();
        emit changed();
    };
    for (const Field& field : m_fields) {
        field.widget->setProperty(kOwnToolTip, field.widget->toolTip());
        if (auto* text = qobject_cast<QLineEdit*>(field.widget))
            connect(text, &QLineEdit::textChanged, this, changedNow);
        else if (auto* list = qobject_cast<QComboBox*>(field.widget))
            connect(list, &QComboBox::currentIndexChanged, this, changedNow);
        else if (auto* box = qobject_cast<QCheckBox*>(field.widget))
            connect(box, &QCheckBox::toggled, this, changedNow);
        else if (auto* picker = qobject_cast<QDateEdit*>(field.widget))
            connect(picker, &QDateEdit::dateChanged, this, changedNow);
    }
}

void SetupEdits::Fill(const Tarn_Inputs& record, bool keepEdits)
{
    m_information = record.CPUVersion >= SetupForm::kInformationVersion;
    QHash<QWidget*, QVariant> filled;
    filled.insert(m_form.txtDetectorAlarmDelay, Whole(record.DetectorAlarmDelay));
    filled.insert(m_form.txtManualAlarmDelay, Whole(record.ManualAlarmDelay));
    filled.insert(m_form.txtManualStopDelay, Whole(record.ManualStopDelay));
    for (int16_t zone = 0; zone < SetupForm::kZones; ++zone) {
        QComboBox* list = m_form.cboProfiles[zone];
        // A profile that is not offered leaves the list without a selection; the empty box
        // names the number that the controller runs.
        const int16_t running = record.ProfileID(zone);
        list->setPlaceholderText(QStringLiteral("Unknown (%1)").arg(running));
        filled.insert(list, list->findData(running) >= 0 ? QVariant(int(running)) : QVariant());
        for (int j = 0; j < SetupForm::kOutputsPerZone; ++j)
            filled.insert(m_form.chkOutput[SetupForm::kOutputsPerZone * zone + j],
                          IsBitSet(record.OutPuts(zone), j));
    }
    if (m_information) {
        bool number = false;
        const qulonglong serial = QString::fromStdString(record.SerialNumber).toULongLong(&number);
        filled.insert(m_form.txtSerialNumber,
                      number ? QVariant::fromValue(serial)
                             : QVariant(DisplayFormat::Text(record.SerialNumber)));
        filled.insert(m_form.dtpManufactoringDate, RecordDate(record.Manufactured));
        filled.insert(m_form.dtpInstallationDate, RecordDate(record.Installed));
        filled.insert(m_form.dtpServiceDate, RecordDate(record.LastService));
    }
    for (auto it = filled.begin(); it != filled.end(); ++it) {
        const bool edited = keepEdits && Edited(it.key());
        m_filled.insert(it.key(), it.value());
        if (!edited)
            Set(it.key(), it.value());
    }
    Mark();
    emit changed();
}

QVariant SetupEdits::Value(QWidget* widget) const
{
    if (auto* text = qobject_cast<QLineEdit*>(widget)) {
        const QString trimmed = text->text().trimmed();
        const QString digits = QString::fromStdString(FieldDigits(trimmed));
        bool number = false;
        const qulonglong value = digits.toULongLong(&number);
        return number ? QVariant::fromValue(value) : QVariant(trimmed);
    }
    if (auto* list = qobject_cast<QComboBox*>(widget))
        return list->currentIndex() < 0 ? QVariant() : QVariant(list->currentData().toInt());
    if (auto* box = qobject_cast<QCheckBox*>(widget))
        return box->isChecked();
    if (auto* picker = qobject_cast<QDateEdit*>(widget))
        return picker->date();
    return {};
}

void SetupEdits::Set(QWidget* widget, const QVariant& value)
{
    if (auto* text = qobject_cast<QLineEdit*>(widget)) {
        // A serial number is a name, in plain digits; a delay a number of the locale.
        const bool number = value.typeId() == QMetaType::ULongLong;
        text->setText(!number ? value.toString()
                      : widget == m_form.txtSerialNumber
                          ? QString::number(value.toULongLong())
                          : DisplayFormat::Number(static_cast<double>(value.toULongLong())));
    } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
        list->setCurrentIndex(value.isValid() ? list->findData(value.toInt()) : -1);
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        box->setChecked(value.toBool());
    } else if (auto* picker = qobject_cast<QDateEdit*>(widget)) {
        // No stored date leaves the picker on the date it shows.
        if (value.isValid())
            picker->setDate(value.toDate());
    }
}

bool SetupEdits::Edited(QWidget* widget) const
{
    const auto filled = m_filled.constFind(widget);
    if (filled == m_filled.cend())
        return false;
    if (!m_information && (widget == m_form.txtSerialNumber || qobject_cast<QDateEdit*>(widget)))
        return false;
    return Value(widget) != filled.value();
}

bool SetupEdits::Edited(Block block) const
{
    for (const Field& field : m_fields)
        if (field.block == block && Edited(field.widget))
            return true;
    return false;
}

QString SetupEdits::ValueText(QWidget* widget, const QVariant& value) const
{
    if (widget == m_form.txtSerialNumber)
        return value.isValid() && !value.toString().isEmpty() ? value.toString()
                                                              : QStringLiteral("none");
    if (qobject_cast<QLineEdit*>(widget))
        return value.typeId() == QMetaType::ULongLong
                   ? DisplayFormat::Number(static_cast<double>(value.toULongLong())) +
                         QStringLiteral(" s")
                   : value.toString();
    if (auto* list = qobject_cast<QComboBox*>(widget)) {
        const int index = value.isValid() ? list->findData(value.toInt()) : -1;
        return index >= 0 ? list->itemText(index) : list->placeholderText();
    }
    if (qobject_cast<QCheckBox*>(widget))
        return value.toBool() ? QStringLiteral("ticked") : QStringLiteral("not ticked");
    if (qobject_cast<QDateEdit*>(widget)) {
        if (!value.isValid())
            return QStringLiteral("none");
        const QDate date = value.toDate();
        return DateText(TarnDateTime::FromParts(date.year(), date.month(), date.day()));
    }
    return value.toString();
}

QString SetupEdits::FilledText(QWidget* field) const
{
    return ValueText(field, m_filled.value(field));
}

QStringList SetupEdits::Lines() const
{
    QStringList lines;
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        const Field& field = m_fields[i];
        if (auto* box = qobject_cast<QCheckBox*>(field.widget)) {
            // A zone's four outputs as one line, from its first box.
            const int index =
                static_cast<int>(std::find(m_form.chkOutput.begin(), m_form.chkOutput.end(), box) -
                                 m_form.chkOutput.begin());
            if (index % SetupForm::kOutputsPerZone != 0)
                continue;
            QStringList before;
            QStringList after;
            bool edited = false;
            for (int j = 0; j < SetupForm::kOutputsPerZone; ++j) {
                QWidget* output = m_form.chkOutput[index + j];
                edited = edited || Edited(output);
                if (m_filled.value(output).toBool())
                    before << QString::number(j + 1);
                if (Value(output).toBool())
                    after << QString::number(j + 1);
            }
            if (!edited)
                continue;
            const auto text = [](const QStringList& outputs) {
                return outputs.isEmpty() ? QStringLiteral("none")
                                         : outputs.join(QStringLiteral(", "));
            };
            lines << QStringLiteral("Zone %1 outputs: %2 \u2192 %3")
                         .arg(index / SetupForm::kOutputsPerZone + 1)
                         .arg(text(before), text(after));
            continue;
        }
        if (!Edited(field.widget))
            continue;
        lines << QStringLiteral("%1: %2 \u2192 %3")
                     .arg(field.name, FilledText(field.widget),
                          ValueText(field.widget, Value(field.widget)));
    }
    return lines;
}

void SetupEdits::Mark()
{
    for (const Field& field : m_fields) {
        QWidget* widget = field.widget;
        const bool edited = Edited(widget);
        if (widget->property(SetupForm::kDiffersProperty).toBool() == edited &&
            (!edited || widget->toolTip().endsWith(FilledText(widget))))
            continue;
        widget->setProperty(SetupForm::kDiffersProperty, edited);
        widget->setToolTip(edited ? QStringLiteral("Controller: %1").arg(FilledText(widget))
                                  : widget->property(kOwnToolTip).toString());
        widget->setStyleSheet(edited ? kMarkStyle : QString());
    }
}
