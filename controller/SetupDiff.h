#pragma once

#include "controller/SetupFile.h"

#include <QString>

#include <vector>

/// The field-by-field differences between a controller's setup and a setup file.
class SetupDiff
{
public:
    /// The write that brings a field to the file's value, in the setup window's order.
    enum class Block
    {
        Delays, // 98: delays, zone messages and outputs, detector voltage switch
        Zone1,  // 104 and 102
        Zone2,
        Zone3,
        SerialNumber, // 99, factory
        Manufactured, // 99, factory
        Installed,    // 99
        ServiceDates  // 99: last service and the one before
    };

    struct Difference
    {
        QString field;
        QString controller;
        QString file;
        Block block = Block::Delays;
        /// False for a field the controller does not report (the detector voltage switch,
        /// which comes from Tarn.INI): a read-back cannot confirm it.
        bool reported = true;
        /// "zone 2 outputs: 2 → 2,4"
        QString Line() const;
    };

    /// The differences, in the order of the blocks. Dates and factory values count only where
    /// the file has them; a date the file leaves out (null) is not compared.
    static std::vector<Difference> Compare(const SetupFile::Setup& controller,
                                           const SetupFile::Setup& file);
    static bool IsFactory(Block block)
    {
        return block == Block::SerialNumber || block == Block::Manufactured;
    }
    /// "1 Standard" (the name when known).
    static QString ProfileText(const SetupFile::Zone& zone);
};
