#pragma once

#include "history/HistoryArchive.h"

#include <chrono>
#include <functional>
#include <memory>

/// Reads of the history for a window. With a background writer the read runs in the writer's
/// thread, after the records given before it, while this thread waits in a local event loop (a
/// counted wait): a server that stops answering, or a table another session keeps locked,
/// holds the writer, never the link, the outputs' pauses or the windows. Without a writer the
/// archive is read at once.
namespace ArchiveRead {

/// How long a window waits for a read before it shows nothing.
inline constexpr std::chrono::seconds kWait{10};

/// Waits for the answer to question `number`; false when it did not come within kWait.
bool Await(HistoryArchive& archive, quint64 number);

template <class T> T Read(HistoryArchive& archive, std::function<T(HistoryArchive&)> read)
{
    // Kept alive for an answer that comes after the wait gave up.
    auto result = std::make_shared<T>();
    const quint64 number = archive.Ask([result, read](HistoryArchive& writers) {
        *result = read(writers);
        return QVariant();
    });
    if (number == 0)
        return read(archive);
    if (!Await(archive, number))
        return T();
    return *result;
}

/// A write by hand (a merge, a name) run as Read runs a read; false, with why in `errText`, when
/// it was not done or the writer did not answer.
bool Write(HistoryArchive& archive, const std::function<bool(HistoryArchive&, QString&)>& write,
           QString& errText);
/// The writes by hand the windows offer, run by Write.
bool Merge(HistoryArchive& archive, qint64 into, qint64 from, QString& errText);
bool Name(HistoryArchive& archive, qint64 id, const QString& name, QString& errText);

} // namespace ArchiveRead
