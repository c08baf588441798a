// The setup window on the program against tarn-sim, with the simulator's factory values
// as text, for the tests of its fields, writes and file buttons.
#pragma once

#include "RunningProgram.h"

#include "ui/setup/frmSetup.h"

#include <QDateEdit>
#include <QLineEdit>

/// The simulator's factory values as RecordText writes them.
inline const QString kFactory =
    u"30 10 5 60|1 2 4|1 2 3|123456|2024-03-14|2024-05-02|2026-05-04|2025-05-06"_s;
inline const QString kUpdated = u"Tarn was updated succesfully!"_s;
inline const QString kNotUpdated = u"Could not update Tarn!"_s;

inline QString Date(const TarnDateTime& d)
{
    return QString::asprintf("%04d-%02d-%02d", d.Year(), d.Month(), d.Day());
}

/// The fields of the status record that the setup window reads or writes.
inline QString RecordText(const Tarn_Inputs& in)
{
    return QString::asprintf("%g %g %g %g|%d %d %d|%d %d %d|", in.DetectorAlarmDelay,
                             in.DetectorResetDelay, in.ManualAlarmDelay, in.ManualStopDelay,
                             in.OutPuts(0), in.OutPuts(1), in.OutPuts(2), in.ProfileID(0),
                             in.ProfileID(1), in.ProfileID(2)) +
           QString::fromStdString(in.SerialNumber) + u'|' +
           QStringList{Date(in.Manufactured), Date(in.Installed), Date(in.LastService),
                       Date(in.LastService2)}
               .join(u'|');
}

/// kFactory with the fields that `changes` ("index=text;...") names replaced.
inline QString Patched(const QString& changes)
{
    QStringList fields = kFactory.split(u'|');
    for (const QString& change : changes.split(u';', Qt::SkipEmptyParts))
        fields[change.section(u'=', 0, 0).toInt()] = change.section(u'=', 1);
    return fields.join(u'|');
}

inline const auto Line = &SimProcess::Line;

inline QByteArray Packed(int year, int month, int day)
{
    return QByteArray::fromStdString(EncodePackedDate(TarnDateTime::FromParts(year, month, day)));
}

class SetupWindowTest : public ProgramTest
{
protected:
    std::unique_ptr<frmSetup> m_setup;
    Tarn_Inputs& record() const { return window()->tarn->Inputs; }

    /// The program on the simulator with periodic work stopped, as the menu
    /// leaves it, and the setup window on its link.
    bool open(const QStringList& options = {}, const QStringList& lines = {},
              const QString& arguments = u"-K"_s)
    {
        if (!startProgram(options, lines))
            return false;
        window()->updTimer->stop();
        window()->StopAutoUpdate();
        m_setup = std::make_unique<frmSetup>(window()->tarn, boxes(), nullptr, arguments);
        m_setup->show();
        return true;
    }

    /// Puts "name=value" into text boxes, date pickers (value yyyy-MM-dd),
    /// profile lists (the profile's number) and outputs (1 ticks).
    void Enter(const QStringList& fields)
    {
        for (const QString& field : fields) {
            QWidget* control = m_setup->findChild<QWidget*>(field.section(u'=', 0, 0));
            const QString value = field.section(u'=', 1);
            if (auto* text = qobject_cast<QLineEdit*>(control))
                text->setText(value);
            else if (auto* picker = qobject_cast<QDateEdit*>(control))
                picker->setDate(QDate::fromString(value, Qt::ISODate));
            else if (auto* list = qobject_cast<QComboBox*>(control))
                list->setCurrentIndex(list->findData(value.toInt()));
            else if (auto* box = qobject_cast<QCheckBox*>(control))
                box->setChecked(value == u"1");
        }
    }

    void cleanup() override
    {
        m_setup.reset();
        ProgramTest::cleanup();
    }
};
