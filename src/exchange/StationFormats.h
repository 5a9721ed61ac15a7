#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <vector>

// The three station list formats: the program's own station file (TAB-separated lines),
// the web page table (written only) and the list file of the earlier Corvane product
// (132-byte records, read only). Plain functions with no widgets, so that the dialogs,
// the tests, the benchmarks and the fuzzers call the same code.
namespace StationList {

// Bits of Station::supplied.
enum FieldBit : unsigned {
    HasSName = 1u << 0,
    HasLocation = 1u << 1,
    HasCallLetters = 1u << 2,
    HasFrequency = 1u << 3,
    HasType = 1u << 4,
    HasRAMFile = 1u << 5,
    HasCategory = 1u << 6,
    HasWebPage = 1u << 7,
    HasAll = 0xFFu,
};

// One station as the files carry it: every field as text, a missing value as empty text.
struct Station
{
    QString SName;
    QString Location;
    QString CallLetters;
    QString Frequency;
    QString Type;
    QString RAMFile;
    QString Category;
    QString WebPage;
    // Which fields the line or record gave a value (possibly empty); a station line of fewer
    // than seven fields leaves some out, and those keep whatever the row held before.
    unsigned supplied = HasAll;

    bool operator==(const Station &other) const = default;
};

// ---- Station file (.hcs) ----

// Appends the station's line: SName, Location, CallLetters, Frequency, Type, RAMFile and
// Category joined by single TABs, then CR LF, as UTF-8. Values are written unchanged.
void appendStationLine(QByteArray &out, const Station &station);

// Distributes one line (without its line end) over the fields. Each of SName, Location,
// CallLetters, Frequency, Type, RAMFile and a dropped seventh field takes the text before the
// next TAB, if there is one; the Category takes all that is left. So a line of seven fields
// fills the seven in order, a line of eight drops the seventh, a line of fewer gives its last
// field to Category and its first ones to SName, Location, ...
Station readStationLine(QStringView line);
// The same into an existing station, reusing the memory of its texts.
void readStationLine(QStringView line, Station &station);

// Every station of a station file, one per line, in file order. Takes any bytes. A station file
// is read as UTF-8 when it is valid UTF-8 (a leading byte order mark is skipped) and as
// Windows-1252 otherwise (files from older Windows installations). A line ends at CR LF, CR or
// LF; the last line needs no end; an empty file has no lines.
std::vector<Station> readStationFile(const QByteArray &bytes);

// ---- Web page table (.htm, .html) ----

// The page is plain ASCII: '&', '<', '>', '"' and '\'' in a value are written as entities and
// every other character outside printable ASCII as a numeric character reference, so that each
// name shows as stored in any browser and one station stays one line.
void appendHtmlText(QByteArray &out, QStringView text);

// Whether an address may become a link of the page: one whose scheme a browser or player
// should follow (http, https, mms, mmsh, rtsp, rtmp), or one without a scheme (relative to the
// page). Read as a browser reads it: blanks before it and tabs and line breaks in it are dropped.
bool isLinkAddress(QStringView address);

QByteArray webPageHeader();
// One table row and its CR LF. The name links to the web page when there is one; with
// liveLink and a metafile address a "*LIVE*" link cell stands between type and category.
// An address that may not become a link (javascript:, data:, file:, ...) is written as text
// after the name, or in place of the "*LIVE*" link.
void appendWebPageRow(QByteArray &out, const Station &station, bool liveLink);
// The footer line naming the product, its major and minor version and its home page.
QByteArray webPageFooter(const QString &product, int major, int minor, const QString &homePage);

// ---- Corvane list file (.lst) ----

constexpr qsizetype CorvaneRecordLength = 132;

// Whole records in a file of this many bytes; bytes after the last whole record are ignored.
qsizetype corvaneRecordCount(qsizetype fileSize);

// Reads one record of CorvaneRecordLength bytes: name, metafile address, location, category,
// call letters and frequency as Windows-1252 text with the padding removed, and the band
// (16-bit little-endian) as "FM" for 0 and "AM" for any other value.
Station readCorvaneRecord(const char *record);

// Every whole record of a Corvane list file, in file order. Takes any bytes.
std::vector<Station> readCorvaneFile(const QByteArray &bytes);

// ---- Reading a whole file ----

// Reads the stations of a station file or a Corvane list one at a time, so that a long import
// holds one station at a time and can show how far it has got. Takes any bytes.
class StationReader
{
public:
    enum Format { StationFile, CorvaneList };

    StationReader(Format format, const QByteArray &bytes);

    bool atEnd() const { return m_pos >= m_size; }
    // Reads the next station into station; false when there is none left.
    bool next(Station &station);
    // How far reading has got: position() of size(), in units of the format.
    qint64 position() const { return m_pos; }
    qint64 size() const { return m_size; }

private:
    Format m_format;
    QByteArray m_bytes;
    bool m_utf8 = true; // a station file's text encoding
    qsizetype m_pos = 0;
    qsizetype m_size = 0;
};

// ---- Choosing the format from a picked file name ----

// Export: the first three of the last four characters, in upper case, are "HTM" — so
// "list.html" picks the web page table and "list.htm" the station file.
bool exportNameIsWebPage(const QString &fileName);
// Import: the last three characters, in upper case, are "LST".
bool importNameIsCorvane(const QString &fileName);

} // namespace StationList
