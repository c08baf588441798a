#pragma once

#include <QString>

/// Every message box of the program goes through this interface, so that tests can answer
/// them. All boxes carry the program title.
class MessageBoxes
{
public:
    static constexpr const char* kTitle = "Tarn Configuration Software";

    virtual ~MessageBoxes() = default;

    /// OK button, information icon.
    virtual void info(const QString& text) = 0;
    /// OK button, critical icon.
    virtual void critical(const QString& text) = 0;
    /// OK button, no icon.
    virtual void plain(const QString& text) = 0;
    /// Yes and No with the question icon; true for Yes.
    virtual bool questionYesNo(const QString& text) = 0;
    /// OK and Cancel with the question icon; true for OK.
    virtual bool questionOkCancel(const QString& text) = 0;
};
