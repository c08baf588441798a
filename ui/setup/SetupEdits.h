#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariant>

#include <vector>

class QWidget;
class SetupForm;
class Tarn_Inputs;

/// What the setup window's fields hold against what the controller holds as the window knows
/// it (the status record): each field keeps the value it was filled with, and a field whose
/// value differs is an edit, marked in bold on yellow with the controller's value in its tool
/// tip. The record follows every write, so what was written is no edit any more.
class SetupEdits : public QObject
{
    Q_OBJECT
public:
    /// The groups of fields that one Set button writes.
    enum class Block
    {
        Delays,
        Zones,
        SerialNumber,
        Manufactured,
        Installed,
        ServiceDate,
    };

    SetupEdits(SetupForm& form, QObject* parent);

    /// The fields take the record's values; with `keepEdits`, an edited field keeps its value
    /// (and stays an edit when the record does not hold it). The serial number and the dates
    /// take part from firmware 2.07 only.
    void Fill(const Tarn_Inputs& record, bool keepEdits);

    bool Edited(QWidget* field) const;
    bool Edited(Block block) const;
    /// The edits, one line each: "Detector alarm delay: 30 s → 45 s".
    QStringList Lines() const;
    /// The value a field was filled with: the controller's, as a text ("30 s", "ticked",
    /// "Continuous 10 min", "2 May 2024").
    QString FilledText(QWidget* field) const;

signals:
    /// A field's value changed, by the user or by the program.
    void changed();

private:
    struct Field
    {
        QWidget* widget = nullptr;
        Block block = Block::Delays;
        QString name;
    };
    /// The value of a field as compared: a whole number for the number fields (blanks and the
    /// locale's digits as the checks take them), the profile's number (null: none), ticked or
    /// not, the date.
    QVariant Value(QWidget* widget) const;
    QString ValueText(QWidget* widget, const QVariant& value) const;
    void Set(QWidget* widget, const QVariant& value);
    void Mark();

    SetupForm& m_form;
    std::vector<Field> m_fields;
    QHash<QWidget*, QVariant> m_filled;
    /// False for the serial number and the dates before firmware 2.07.
    bool m_information = false;
};
