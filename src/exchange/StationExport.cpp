#include "StationExport.h"

#include "data/Recordset.h"
#include "data/StationColumn.h"
#include "exchange/Playlist.h"
#include "exchange/StationFormats.h"

#include <QSaveFile>
#include <QSignalBlocker>

namespace {

// Output is handed to the file in pieces of about this size.
constexpr qsizetype kChunk = 1 << 20;

} // namespace

StationExport::Result StationExport::run(const Choices &choices, const std::shared_ptr<Recordset> &rs,
                                         const ExchangeCallbacks &callbacks)
{
    Result result;
    if (!rs) {
        result.error = QStringLiteral("The station database could not be opened, so nothing was exported.");
        return result;
    }

    // The file is written beside its final place and takes that place only when complete.
    QSaveFile file(choices.fileName);
    auto failed = [&](const QString &reason) {
        file.cancelWriting();
        result.error = QStringLiteral("Could not write the file \"%1\":\n%2").arg(choices.fileName, reason);
        return result;
    };
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());

    const qint64 total = rs->RecordCount();
    if (callbacks.started)
        callbacks.started(total);

    QByteArray out;
    out.reserve(kChunk + 4096);
    if (choices.format == Format::WebPage)
        out += StationList::webPageHeader();
    else if (choices.format == Format::M3u)
        out += Playlist::m3uHeader();

    // Whoever shows the current row (bound text boxes) need not follow every station; it
    // catches up once at the end.
    struct Quiet
    {
        std::shared_ptr<Recordset> rs;
        QSignalBlocker blocker;
        ~Quiet()
        {
            blocker.unblock();
            emit rs->currentChanged();
        }
    } quiet{rs, QSignalBlocker(rs.get())};
    if (total > 0) {
        rs->MoveLast();
        rs->MoveFirst();
    }
    StationList::Station s;
    while (total > 0 && !rs->EOF_()) {
        auto text = [&rs](int column) { return rs->Fields(column).toString(); };
        s.SName = text(StationColumn::SName);
        s.Frequency = text(StationColumn::Frequency);
        s.Type = text(StationColumn::Type);
        s.CallLetters = text(StationColumn::CallLetters);
        s.Location = text(StationColumn::Location);
        s.RAMFile = text(StationColumn::RAMFile);
        s.Category = text(StationColumn::Category);
        s.WebPage = text(StationColumn::WebPage);
        if (choices.format == Format::WebPage)
            StationList::appendWebPageRow(out, s, choices.liveLink);
        else if (choices.format == Format::M3u)
            Playlist::appendM3uEntry(out, s); // a station without a metafile has no entry
        else
            StationList::appendStationLine(out, s);
        if (callbacks.progress)
            callbacks.progress(result.stations, s.SName);
        ++result.stations;
        if (callbacks.cancelled && callbacks.cancelled()) {
            file.cancelWriting();
            result.cancelled = true;
            return result;
        }
        if (out.size() >= kChunk) {
            if (file.write(out) != out.size())
                return failed(file.errorString());
            out.resize(0); // keeps the buffer for the next piece
        }
        rs->MoveNext();
    }
    if (choices.format == Format::WebPage)
        out += StationList::webPageFooter(choices.product, choices.major, choices.minor, choices.homePage);
    if (file.write(out) != out.size())
        return failed(file.errorString());
    if (!file.commit())
        return failed(file.errorString());
    result.written = true;
    return result;
}
