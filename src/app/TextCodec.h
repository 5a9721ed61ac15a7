#pragma once

#include <QByteArray>
#include <QString>

#include <QStringList>

// Text files from this system are UTF-8; files from older Windows installations are
// Windows-1252. A text that is valid UTF-8 is read as UTF-8, any other as Windows-1252.
namespace TextCodec {

bool isValidUtf8(const QByteArray &bytes);
QString fromWindows1252(const QByteArray &bytes);
QString decode(const QByteArray &bytes);

// UTF-8 text from inside a file: a U+FEFF at its start is a character of the text, not a byte
// order mark (only the start of a file holds one), and is kept.
QString fromUtf8Inside(QByteArrayView bytes);

// The lines of a text file (ended by CR LF, CR or LF), each decoded on its own: a file edited
// by several programs may mix UTF-8 lines with Windows-1252 ones, and one line in the other
// encoding must not change how the rest is read.
QStringList decodeLines(const QByteArray &bytes);

} // namespace TextCodec
