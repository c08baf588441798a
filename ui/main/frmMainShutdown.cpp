#include "ui/main/frmMain.h"

#include "controller/HistoryRecorder.h"
#include "controller/OutputControl.h"
#include "eventloop/EventWait.h"
#include "eventloop/WaitDepth.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"
#include "ui/main/BusyPointer.h"
#include "ui/main/EventLogPage.h"
#include "ui/main/MessageBoxes.h"
#include "ui/tests/TestPage.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QTimer>

// The end of the program: the question, the outputs off and the window without input; and the
// outputs-off of the pages.

void frmMain::SwitchOffOutputs()
{
    if (tarn)
        OutputControl::AllOff(*tarn);
}

void frmMain::StopPumpAndValves()
{
    BusyPointer::Reset();
    if (!tarn)
        return;
    Tarn_Outputs& outputs = tarn->OutPuts;
    outputs.Pump = 0;
    outputs.Valve1 = 0;
    outputs.Valve2 = 0;
    Pause(kOutputsPause);
    NoteOutputsOffSent(tarn->Send(TarnCommand::SetOutputs, outputs.STU_Data()));
    Pause(kOutputsPause);
    ShowStatus(QString());
}

void frmMain::NoteOutputsOffSent(bool sent)
{
    OutputsOffOwed = !sent && tarn && !tarn->answered();
    if (!OutputsOffOwed) {
        m_offResends = 0;
        return;
    }
    // Lost on the line: it goes again as soon as the wait under way (the pause after it, or
    // whatever the technician started) has ended, not at the update timer's next free tick.
    // The shutdown sends it again itself.
    if (m_closing || m_offResends >= kOffResends)
        return;
    ++m_offResends;
    QTimer::singleShot(0, this, [this] {
        WaitDepth::WhenIdle(this, [this] {
            if (OutputsOffOwed && tarn && !m_closing)
                NoteOutputsOffSent(OutputControl::SendOutputs(*tarn));
        });
    });
}

void frmMain::Pause(std::chrono::milliseconds duration)
{
    WaitProcessingEvents(duration);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // Once the outputs are off, the application's quit closes the window.
    if (m_shutDown) {
        event->accept();
        return;
    }
    // A close asked for while the shutdown runs (Send keeps events flowing) changes nothing.
    if (m_closing) {
        event->ignore();
        return;
    }
    // The question is modal: asked inside a wait, it would hold the wait back.
    if (!WaitDepth::Idle()) {
        event->ignore();
        if (!m_closeDeferred) {
            m_closeDeferred = true;
            m_closeStopsReading = picLog->isReading();
            WhenIdleSaying(QStringLiteral("Closing once Tarn has answered\u2026"), [this] {
                m_closeDeferred = false;
                close();
            });
        }
        return;
    }
    // A reading stops before the question (it is a wait); the question says so, and what
    // the list holds that was not saved.
    QString informative;
    const int rows = picLog->rowCount();
    const QString listed =
        rows == 1 ? QStringLiteral("The event listed has not been saved.")
                  : QStringLiteral("The %1 events listed have not been saved.").arg(rows);
    if (m_closeStopsReading)
        informative = QStringLiteral("An event-log reading was running; it has stopped.") +
                      (picLog->isUnsaved() ? u' ' + listed : QString());
    else if (picLog->isUnsaved() && rows > 0)
        informative = listed;
    m_closeStopsReading = false;
    if (!m_boxes.questionYesNo(QStringLiteral("End application?"), informative) || m_closing) {
        event->ignore();
        return;
    }
    Shutdown();
    event->accept();
    emit programEnds();
}

void frmMain::EndBySystem()
{
    if (m_closing || m_endAsked)
        return;
    m_endAsked = true;
    WhenIdle([this] {
        if (m_closing)
            return;
        Shutdown();
        emit programEnds();
    });
}

void frmMain::Shutdown()
{
    m_closing = true;
    AbortLogReading = true;
    // The window stays painted but takes no more input while it shuts down.
    centralWidget()->setEnabled(false);
    menuBar()->setEnabled(false);
    updTimer->stop();
    StopAutoUpdate();
    Pause(kShutdownPause);
    picTest->EndTests();
    // The program must not end on an outputs-off lost on the line.
    NoteOutputsOffSent(tarn && OutputControl::AllOffAnswered(*tarn));
    // A test under way ends with the outputs-off just sent: filed now, after it went out. Then
    // what was read is stored, and a queue for a server that is back sent, for a moment.
    if (m_recorder) {
        m_recorder->EndFunctionTest();
        m_recorder->Settle(kShutdownHistoryWait);
    }
    Pause(kShutdownPause);
    m_shutDown = true;
}
