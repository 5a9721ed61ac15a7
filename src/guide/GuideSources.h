#pragma once

#include <QString>
#include <QStringList>

// The TV guide's sources: web addresses (http, https) and local files (.xml, .xml.gz, .gz) of
// XMLTV guides, kept in the preferences file as "Guide/Sources", in the order they were added.
namespace GuideSources {

QStringList list();
// Adds the sources not listed yet (an address once, whatever else is given).
void add(const QStringList &sources);
void remove(const QString &source);
// Those of sources not listed yet.
QStringList missing(const QStringList &sources);
// Why source cannot be a guide source, or an empty text when it can.
QString problem(const QString &source);
// True for a web address (else the source is a local file path or file: address).
bool isWebAddress(const QString &source);

} // namespace GuideSources
