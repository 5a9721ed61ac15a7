#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The settings file format: one "Key=value" line per setting, no sections, no comments.
// A line belongs to key K when it starts with exactly K (case-sensitive prefix test).
// Lines end at CR LF, CR or LF when read; every written line ends with CR LF.
namespace IniFile {

QStringList splitLines(const QString &text);

bool belongsTo(const QString &line, const QString &key);

// The value of a line: the text after its first '=' (the whole line without one),
// with spaces trimmed at both ends.
QString valueOf(const QString &line);

// The lines of a file as bytes, split the same way.
QList<QByteArray> splitLines(const QByteArray &bytes);

// The value of the last line of the file that belongs to key, or nothing. Each line is decoded
// on its own: UTF-8 when it is valid UTF-8, otherwise Windows-1252 (a file edited by older
// Windows programs may mix both, line by line).
std::optional<QString> read(const QByteArray &file, const QString &key);

// The file with the value of every line of key replaced: the text up to and including the
// first '=' stays, the value follows untrimmed; a line without '=' becomes the value alone.
// Changed lines are written in UTF-8; every other line keeps its bytes. A key without a line
// is not added.
QByteArray rewrite(const QByteArray &file, const QString &key, const QString &value);

// Text conversion of a truth value: "True"/"False" in any case or a number (0 is false).
// Anything else raises run-time error 13 (type mismatch); no value is false.
bool toBool(const std::optional<QString> &value);

} // namespace IniFile
