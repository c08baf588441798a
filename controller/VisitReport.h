#pragma once

#include "controller/HistoryPictures.h"

#include <QString>
#include <QStringList>

#include <vector>

struct VisitFacts;

/// A table of the report: a header row and rows of as many cells.
struct ReportTable
{
    QString caption;
    QStringList header;
    std::vector<QStringList> rows;
};

/// A part of the report under its own heading: lines of text, then tables, then the pictures
/// of the events when it has them (marks).
struct ReportSection
{
    QString title;
    QStringList lines;
    std::vector<ReportTable> tables;
    HistoryPictures::Series pictures;
};

/// The service visit report, as text and tables, without a widget: the controller, the
/// technician and the visit, the status as read, the setup at the start of the visit and its
/// changes, the events, and the signatures. A value the controller did not give reads
/// kNotRead; nothing is made up in its place.
class VisitReport
{
public:
    static constexpr const char* kNotRead = "not read";
    static constexpr const char* kTitle = "Service visit report";

    /// The first line of the first page, and of every page's header.
    QString title = QLatin1String(kTitle);
    /// "Tarn serial 123456, V 2.08", for every page's header.
    QString controller;
    std::vector<ReportSection> sections;

    static VisitReport Build(const VisitFacts& facts);
    /// The status page as printed: the controller and the status as read, in the same tables.
    static VisitReport Status(const VisitFacts& facts);
    /// One table under the controller's name, such as the event list as the page shows it.
    static VisitReport Table(const QString& title, const QString& controller, const QString& line,
                             ReportTable table);
    /// The section with this title, or none.
    const ReportSection* Section(const QString& title) const;
};
