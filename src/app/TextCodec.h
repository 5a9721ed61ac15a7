#pragma once

#include <QByteArray>
#include <QString>

// Text files from this system are UTF-8; files from older Windows installations are
// Windows-1252. A file that is valid UTF-8 is read as UTF-8, any other as Windows-1252.
namespace TextCodec {

bool isValidUtf8(const QByteArray &bytes);
QString fromWindows1252(const QByteArray &bytes);
QString decode(const QByteArray &bytes);

} // namespace TextCodec
