#pragma once

#include <QDateTime>
#include <QString>

// Names of the files a recording writes: "<station> - <title>.<extension>", or the date and time
// in place of the title when the stream sent none. Station names and titles come from outside
// (a title is whatever the stream's server sends), so a name is made safe before it is used.
namespace RecordingName {

constexpr int MaxBytes = 200; // of a file name, extension and number included, in UTF-8

// A safe file name for a recording that starts at `when`.
QString fileName(const QString &station, const QString &title, const QString &extension, const QDateTime &when);

// The base of a file name made safe: path separators become '-', control characters go, the
// name never starts with a dot and has no blanks at its ends; it is cut (at a whole character)
// so that base + suffix + "." + extension fits in MaxBytes. Empty when nothing is left.
QString safeBase(const QString &text, const QString &suffix, const QString &extension);

// The file ending for a stream's audio codec as libmpv names it ("mp3", "aac", "opus",
// "vorbis", "flac"); streams with a picture, and any other codec, are kept in Matroska.
QString extensionFor(const QString &audioCodec, bool hasVideo);

// Creates a new, empty file for the name in the folder: "<base>.<ext>", or "<base> (2).<ext>",
// "<base> (3).<ext>" … when the name is taken, so no file is ever overwritten. Returns its full
// path, or an empty text with *error saying why (the folder missing or not writable).
QString createUnique(const QString &folder, const QString &fileName, QString *error);

} // namespace RecordingName
