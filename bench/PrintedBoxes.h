#pragma once

#include "ui/main/MessageBoxes.h"

#include <cstdio>

/// Message boxes of a benchmark: each is printed on standard error and answered No or Cancel,
/// since a benchmark expects none.
class PrintedBoxes : public MessageBoxes
{
public:
    void info(const QString& text, const QString& informative = {}) override
    {
        print(text, informative);
    }
    void critical(const QString& text, const QString& informative = {}) override
    {
        print(text, informative);
    }
    void plain(const QString& text, const QString& informative = {}) override
    {
        print(text, informative);
    }
    bool questionYesNo(const QString& text, const QString& informative = {}) override
    {
        return print(text, informative);
    }
    bool questionOkCancel(const QString& text, const QString& informative = {}) override
    {
        return print(text, informative);
    }
    bool questionOkCancelDefaultCancel(const QString& text,
                                       const QString& informative = {}) override
    {
        return print(text, informative);
    }

    int choose(const QString& text, const QString& informative, const QStringList&) override
    {
        print(text, informative);
        return -1;
    }

private:
    QString saveFileName(const QString& suggested, const QString&) override
    {
        print(QStringLiteral("save as ") + suggested, {});
        return {};
    }
    QString openFileName(const QString& suggested, const QString&) override
    {
        print(QStringLiteral("open ") + suggested, {});
        return {};
    }
    bool choosePrinter(QPrinter&, const QString&) override
    {
        return print(QStringLiteral("print"), {});
    }
    QString inputText(const QString& text, const QString&, bool& ok) override
    {
        ok = print(text, {});
        return {};
    }

    static bool print(const QString& text, const QString& informative)
    {
        std::fprintf(stderr, "box: %s\n", qPrintable(text));
        if (!informative.isEmpty())
            std::fprintf(stderr, "     %s\n", qPrintable(informative));
        return false;
    }
};
