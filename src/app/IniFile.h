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

// The value of the last line that belongs to key, or nothing.
std::optional<QString> read(const QString &text, const QString &key);

// The file with the value of every line of key replaced: the text up to and including the
// first '=' stays, the value follows untrimmed; a line without '=' becomes the value alone.
// A key without a line is not added.
QByteArray rewrite(const QString &text, const QString &key, const QString &value);

// Text conversion of a truth value: "True"/"False" in any case or a number (0 is false).
// Anything else raises run-time error 13 (type mismatch); no value is false.
bool toBool(const std::optional<QString> &value);

} // namespace IniFile
