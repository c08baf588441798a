#pragma once

#include "controller/SetupFile.h"
#include "data/SetupBlocks.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class MessageBoxes;
class QDateEdit;
class QWidget;
class TarnDateTime;
class SetupForm;
class Tarn_Comm;

/// The setup window's file buttons: the controller's values as last read saved to a setup
/// file, a file's values filled into the fields (nothing is sent) with the fields that differ
/// from the controller's marked, and a file compared with the values read.
class SetupFileActions : public QObject
{
    Q_OBJECT
public:
    /// On the controls of `form` in `window`, with the window's link.
    SetupFileActions(SetupForm& form, Tarn_Comm* tarn, QWidget& window, MessageBoxes& boxes);

    /// The row of the three buttons, made into the form's cmdSaveToFile, cmdLoadFromFile and
    /// cmdCompareWithFile.
    QWidget* Build();
    /// Whether a file was loaded.
    bool HasLoaded() const { return m_loaded.has_value(); }
    /// The controller's setup as the record holds it.
    SetupFile::Setup RecordSetup() const;
    /// `read` with the values of the fields the user can edit; false, with the reason, for a
    /// field that no Set button would send as it is.
    bool EditedSetup(const SetupFile::Setup& read, SetupFile::Setup& edited,
                     QString& errText) const;

signals:
    /// A file's values were filled into the fields.
    void loaded();

private:
    void handleSaveToFile();
    void handleLoadFromFile();
    void handleCompareWithFile();

    /// Whether the record holds a status read; the box says so when it does not.
    bool RecordRead();
    /// The file that the open dialog names, read; false (with its box shown) when nothing
    /// was read from Tarn yet, or the dialog is cancelled, or the file cannot be read or is
    /// refused.
    bool ReadSetupFile(SetupFile::Setup& file, QString& path);
    /// Puts the file's values into the fields; what it leaves out goes into `notes`.
    void FillFromFile(const SetupFile::Setup& file, QStringList& notes);
    /// Where the file dialogs open.
    QString SetupFileFolder() const;
    /// Whether the picker shows another date than the window filled in for `value`.
    bool PickerEdited(const QDateEdit* picker, const TarnDateTime& value) const;

    SetupForm& m_form;
    Tarn_Comm* m_tarn;
    QWidget& m_window;
    MessageBoxes& m_boxes;
    /// The file last loaded, and which of its parts filled fields.
    std::optional<SetupFile::Setup> m_loaded;
    std::array<bool, SetupBlocks::kZones> m_profileLoaded{};
    bool m_informationLoaded = false;
    /// The date a picker shows when the record has none.
    QDate m_openedOn = QDate::currentDate();
};
