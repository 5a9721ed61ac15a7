#include "app/JsonArrayFile.h"

#include <QFile>
#include <QJsonDocument>

#include <algorithm>

namespace JsonArrayFile {

bool read(const QString &path, qint64 maxBytes, QJsonArray *entries)
{
    *entries = QJsonArray();
    QFile file(path);
    if (!file.exists())
        return true;
    const auto setAside = [&] {
        QFile::remove(path + QStringLiteral(".bad"));
        QFile::rename(path, path + QStringLiteral(".bad"));
        return false;
    };
    if (file.size() > maxBytes || !file.open(QIODevice::ReadOnly))
        return setAside();
    QJsonParseError error{};
    // The size as found, not the limit: a buffer of the limit would be set aside for every read.
    const QJsonDocument doc = QJsonDocument::fromJson(file.read(std::min(file.size(), maxBytes)), &error);
    file.close();
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return setAside();
    *entries = doc.array();
    return true;
}

} // namespace JsonArrayFile
