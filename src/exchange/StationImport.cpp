#include "StationImport.h"

#include "app/RuntimeError.h"
#include "data/BulkWriter.h"
#include "data/Database.h"
#include "exchange/Playlist.h"
#include "pictures/StationLogos.h"

#include <QFile>
#include <QFileInfo>

namespace {

// The database refused this one station; anything else (a read-only or broken database)
// would refuse every station and stops the import.
bool refusesOneStation(int number)
{
    return number == DataErr::RequiredField || number == DataErr::DuplicateName || number == DataErr::ValueTooLong ||
           number == DataErr::InvalidArgument;
}

} // namespace

StationImport::StationImport(const Choices &choices, Callbacks callbacks)
    : m_choices(choices), m_callbacks(std::move(callbacks))
{
}

StationImport::~StationImport() = default;

bool StationImport::fail(const QString &text)
{
    m_error = text;
    return false;
}

bool StationImport::readFile()
{
    m_read = true;
    m_counts = Counts();
    m_error.clear();
    m_reader.reset();
    m_playlist.clear();
    m_iptv.clear();
    m_guideAddresses.clear();
    m_nextEntry = 0;
    const QString &fileName = m_choices.fileName;
    if (fileName.trimmed().isEmpty())
        return fail(QStringLiteral("Choose the file to import first."));
    if (QFileInfo(fileName).isDir())
        return fail(QStringLiteral("\"%1\" is a folder, not a station file.").arg(fileName));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Could not read the file \"%1\":\n%2").arg(fileName, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("Could not read the file \"%1\":\n%2").arg(fileName, file.errorString()));
    file.close();

    if (m_choices.format == Format::Playlist) {
        // A playlist is small and names each station on one or two lines: it is read whole.
        if (m_choices.category.isEmpty())
            return fail(QStringLiteral("There is no category to put the playlist's stations in.\n"
                                       "Add one with Edit, Categories first."));
        Playlist::Stations playlist = Playlist::read(bytes, fileName, m_choices.category, m_choices.tvCategory);
        if (!playlist.isList)
            return fail(QStringLiteral("The file \"%1\" is not a playlist of stations.").arg(fileName));
        if (playlist.stations.empty() && playlist.leftOut == 0 && playlist.notStreams == 0)
            return fail(QStringLiteral("The file \"%1\" holds no stations.").arg(fileName));
        m_playlist = std::move(playlist.stations);
        m_iptv = std::move(playlist.iptv);
        m_guideAddresses = playlist.guideAddresses;
        m_counts.television = playlist.television;
        m_counts.shortened = playlist.shortened;
        m_counts.leftOut = playlist.leftOut;
        m_counts.notStreams = playlist.notStreams;
        return true;
    }
    m_reader = std::make_unique<StationList::StationReader>(m_choices.format == Format::Corvane
                                                                ? StationList::StationReader::CorvaneList
                                                                : StationList::StationReader::StationFile,
                                                            bytes);
    if (m_reader->atEnd())
        return fail(QStringLiteral("The file \"%1\" holds no stations.").arg(fileName));
    return true;
}

bool StationImport::next(StationList::Station &station)
{
    if (m_reader)
        return m_reader->next(station);
    if (m_nextEntry >= m_playlist.size())
        return false;
    station = m_playlist[m_nextEntry++];
    return true;
}

qint64 StationImport::position() const
{
    return m_reader ? m_reader->position() : qint64(m_nextEntry);
}

bool StationImport::store(const std::shared_ptr<Database> &db)
{
    if (!m_read && !readFile())
        return false;
    m_read = false; // a second store reads the file again
    if (!m_error.isEmpty())
        return false;
    if (!db)
        return fail(QStringLiteral("The station database could not be opened, so nothing was imported."));

    if (m_callbacks.started)
        m_callbacks.started(m_reader ? m_reader->size() : qint64(m_playlist.size()));
    try {
        // The stations go straight to the table through statements prepared once, in one
        // transaction. Fields in the order of the supplied bits of a station.
        BulkWriter writer(db, QStringLiteral("Station"),
                          {QStringLiteral("SName"), QStringLiteral("Location"), QStringLiteral("CallLetters"),
                           QStringLiteral("Frequency"), QStringLiteral("Type"), QStringLiteral("RAMFile"),
                           QStringLiteral("Category")});
        Transaction transaction(db);
        QVariantList values;
        StationList::Station s;
        bool askEach = m_choices.replace && m_choices.prompt && m_callbacks.replace;
        // Written after the stations: a write between them would have the name check read the
        // table's names again for every station.
        QList<QPair<QString, IptvAttributes::Attributes>> iptv;
        for (;;) {
            if (m_callbacks.cancelled && m_callbacks.cancelled()) {
                m_counts.cancelled = true;
                break;
            }
            values.clear(); // before reading, so the station's texts can be reused
            if (!next(s))
                break;
            if (m_callbacks.progress)
                m_callbacks.progress(position(), s.SName);
            // Empty text stores no value, as an empty text box does.
            for (const QString *field :
                 {&s.SName, &s.Location, &s.CallLetters, &s.Frequency, &s.Type, &s.RAMFile, &s.Category})
                values << (field->isEmpty() ? QVariant() : QVariant(*field));

            // In replace mode a station whose name is there already has its fields replaced
            // by those the file gives (the web page, which no file gives, stays).
            const qint64 rowid = m_choices.replace && !s.SName.isEmpty() ? writer.find(0, s.SName) : -1;
            if (rowid >= 0 && askEach) {
                const Answer answer = m_callbacks.replace(s.SName);
                if (answer == Answer::Cancel) {
                    m_counts.cancelled = true;
                    break;
                }
                if (answer == Answer::No) {
                    ++m_counts.passedOver;
                    continue;
                }
                if (answer == Answer::YesToAll)
                    askEach = false;
            }
            // A station the database refuses (no category, a value too long, a name that is
            // there already) is passed over and the import goes on.
            try {
                if (rowid >= 0) {
                    writer.update(rowid, values, s.supplied & 0x7Fu);
                    ++m_counts.replaced;
                } else {
                    writer.insert(values);
                    ++m_counts.added;
                }
                // What the tables cannot hold goes beside the station.
                if (!m_reader && m_nextEntry - 1 < m_iptv.size() && m_iptv[m_nextEntry - 1].any())
                    iptv.append({s.SName, m_iptv[m_nextEntry - 1]});
            } catch (const RuntimeError &e) {
                if (!refusesOneStation(e.number()))
                    throw;
                ++m_counts.passedOver;
            }
        }
        IptvAttributes::storeAll(*db, iptv);
        // A channel's tvg-logo is its logo, as the directory's favicon is a station's.
        for (const auto &[name, attributes] : std::as_const(iptv))
            if (!attributes.logo.isEmpty())
                StationLogos::setAddress(*db, name, attributes.logo);
        // A cancelled import keeps the stations read so far.
        transaction.commit();
    } catch (const RuntimeError &e) {
        // The transaction was rolled back: nothing of this import stays.
        m_counts = Counts();
        return fail(QStringLiteral("The stations could not be stored, so nothing was imported:\n%1").arg(e.text()));
    }
    return true;
}
