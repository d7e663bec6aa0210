#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QUrl;

// File names are bytes on Linux, and need not be UTF-8. Qt decodes them as UTF-8 and
// puts U+FFFD in place of what is not, which names another file. Here a name in
// UTF-8 is text as usual, and each byte of a sequence that is not UTF-8 is kept as a
// lone low surrogate, U+DC80 + the byte (as Python's "surrogateescape"): the name
// goes back to the system exactly as it came. Such a QString must reach the system
// only through fileNameBytes, never through QFile, QFileInfo or QDir (their paths
// are lossy), and is shown to a user only through shownFileName.

// The name the system gave, as text.
QString fileNameFromBytes(const QByteArray& bytes);

// The exact bytes of a name made by fileNameFromBytes; UTF-8 for any other text (a
// surrogate that fileNameFromBytes cannot give becomes U+FFFD).
QByteArray fileNameBytes(const QString& name);

// The name for a message: each byte that is not UTF-8 as "\xFF".
QString shownFileName(const QString& name);

// Whether the name holds bytes that are not UTF-8 (and so cannot go through Qt's file classes).
bool holdsRawBytes(const QString& name);

// A program's arguments, each through fileNameFromBytes: a file named on the command
// line keeps its bytes, where QCoreApplication::arguments() would lose them.
QStringList argumentsFromBytes(int argc, char* argv[]);

// The name made absolute against the working folder (read as bytes) and cleaned.
QString absoluteFileName(const QString& name);

// The local file a URL from outside names (a drop from a file manager),
// whose path is percent-encoded bytes: QUrl::toLocalFile turns a byte that is not
// UTF-8 into U+FFFD.
QString fileNameFromUrl(const QUrl& url);
