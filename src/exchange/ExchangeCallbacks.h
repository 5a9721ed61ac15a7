#pragma once

#include <QString>
#include <functional>

// What a station import or export tells whoever runs it, and what it asks of it. Any of them may
// be left empty.
struct ExchangeCallbacks
{
    // The work is under way on `total` units (bytes of a station file, records or stations).
    std::function<void(qint64 total)> started;
    // The station `name` is being worked on; `done` units of the total are behind it.
    std::function<void(qint64 done, const QString &name)> progress;
    // Asked once a station: true stops the work there.
    std::function<bool()> cancelled;
};
