#pragma once

#include <QDateTime>

#include <string>

class PageHost;
class StatusPage;

/// The status page's report buttons: tarn.sts in the text editor, the report as a file where
/// the user chooses, and the report through the print dialog.
class StatusReports
{
public:
    StatusReports(PageHost& host, const StatusPage& page);

    /// Writes tarn.sts from the status page and opens it in the text editor.
    void Save();
    /// The status report as a UTF-8 file named after the controller, where the user chooses.
    void SaveAs();
    /// The status report through the print dialog.
    void Print();

private:
    /// The status report's text with the time of the values (asking first when they are old);
    /// false when the user does not want old values.
    bool ReportText(std::string& text, QDateTime& readAt);

    PageHost& m_host;
    const StatusPage& m_page;
};
