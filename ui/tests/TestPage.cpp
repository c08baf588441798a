#include "ui/tests/TestPage.h"

TestPage::TestPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picTest"));
}

void TestPage::handleScanInputsClicked()
{
    // The input scan has no switch on this page yet, so it stays off.
}

void TestPage::PeriodicWork() {}
