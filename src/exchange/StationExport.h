#pragma once

#include "exchange/ExchangeCallbacks.h"

#include <QString>
#include <memory>

class Recordset;

// Writes the stations of a record set to a station file, a web page table or an m3u playlist.
// No widgets: progress and cancelling go through callbacks, the outcome comes back as a value.
// The file takes its place only when it is complete, so a failure or a cancel leaves an earlier
// file of that name as it was.
class StationExport
{
public:
    struct Result
    {
        bool written = false;
        bool cancelled = false;
        QString error; // why nothing was written, when it was not cancelled
        qint64 stations = 0;
    };

    enum class Format { StationFile, WebPage, M3u };

    struct Choices
    {
        QString fileName;
        Format format = Format::StationFile;
        // Web page: a "*LIVE*" link to each station's metafile.
        bool liveLink = false;
        // Web page: what its footer names (the product, its version and its home page).
        QString product;
        int major = 0;
        int minor = 0;
        QString homePage;
    };

    // Walks the record set from its first row to its end. Whoever shows its current row is told
    // once, at the end, not at every station.
    static Result run(const Choices &choices, const std::shared_ptr<Recordset> &stations,
                      const ExchangeCallbacks &callbacks = {});
};
