#pragma once

#include "exchange/ExchangeCallbacks.h"
#include "exchange/StationFormats.h"
#include "guide/IptvAttributes.h"

#include <QString>
#include <memory>

class Database;

// Adds the stations of a station file, a Corvane list or another player's playlist to the
// Station table, in one transaction. No widgets: whoever runs it answers through callbacks and
// is told the outcome as values.
class StationImport
{
public:
    enum class Format { StationFile, Corvane, Playlist };

    struct Choices
    {
        QString fileName;
        Format format = Format::StationFile;
        // Replace the fields of a station whose name is stored already (else it is passed over).
        bool replace = false;
        // With replace: ask before each such station.
        bool prompt = false;
        // The category a playlist's stations go to (a playlist names none).
        QString category;
        // When given, the category the television entries of an IPTV playlist go to.
        QString tvCategory;
    };

    // The answers to "replace this station?".
    enum class Answer { Yes, No, YesToAll, Cancel };
    struct Callbacks : ExchangeCallbacks
    {
        // Asked with the name of a stored station the file gives again, in replace mode with
        // prompt; left empty, every station is replaced.
        std::function<Answer(const QString &name)> replace;
    };

    struct Counts
    {
        int added = 0;
        int replaced = 0;
        int passedOver = 0; // refused by the database, or declined at the question
        bool cancelled = false;
        int shortened = 0;  // playlist names shortened to fit
        int leftOut = 0;    // playlist entries whose address does not fit
        int notStreams = 0; // playlist entries whose address is no stream
        int television = 0; // IPTV entries put in the television category
    };

    StationImport(const Choices &choices, Callbacks callbacks = {});
    ~StationImport();
    StationImport(const StationImport &) = delete;
    StationImport &operator=(const StationImport &) = delete;

    // Reads the file. False, with error() telling why, when there is nothing to import.
    bool readFile();
    // Stores what readFile() read (reading it first if it was not). A cancelled import keeps the
    // stations stored so far; a failure of the database keeps nothing of this import. False,
    // with error() telling why, when nothing was imported.
    bool store(const std::shared_ptr<Database> &db);

    const Counts &counts() const { return m_counts; }
    const QString &error() const { return m_error; }
    // The guide addresses an IPTV playlist's header names.
    const QStringList &guideAddresses() const { return m_guideAddresses; }

private:
    bool fail(const QString &text);
    bool next(StationList::Station &station);
    qint64 position() const;

    Choices m_choices;
    Callbacks m_callbacks;
    Counts m_counts;
    QString m_error;
    bool m_read = false;
    // The stations come one at a time from the file's reader, or from the playlist read whole.
    std::unique_ptr<StationList::StationReader> m_reader;
    std::vector<StationList::Station> m_playlist;
    std::vector<IptvAttributes::Attributes> m_iptv; // beside m_playlist
    QStringList m_guideAddresses;
    size_t m_nextEntry = 0;
};
