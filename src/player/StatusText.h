#pragma once

#include <QString>

// The texts of the player's status line. They need no widget, so the metafile resolver, the
// player and the tests that recognise a state share them.
namespace StatusText {
// A local file by its file name, a network address by its host (the whole address when it has
// none).
QString hostOf(const QString &address);
QString connecting(const QString &address);
QString buffering(int percent);
QString playing(const QString &name, const QString &title);
QString stopped();
QString reconnecting();
QString cannotConnect(const QString &address);
QString notAStream(const QString &address);
QString notFound(const QString &address);
QString httpError(const QString &address, int status);
QString unsupported(const QString &address);
QString noEntries(const QString &address);
} // namespace StatusText
