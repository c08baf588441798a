#pragma once

#include "ui/main/MessageBoxes.h"

#include <cstdio>

/// Message boxes of a benchmark: each is printed on standard error and answered No or Cancel,
/// since a benchmark expects none.
class PrintedBoxes : public MessageBoxes
{
public:
    void info(const QString& text) override { print(text); }
    void critical(const QString& text) override { print(text); }
    void plain(const QString& text) override { print(text); }
    bool questionYesNo(const QString& text) override { return print(text); }
    bool questionOkCancel(const QString& text) override { return print(text); }

private:
    static bool print(const QString& text)
    {
        std::fprintf(stderr, "box: %s\n", qPrintable(text));
        return false;
    }
};
