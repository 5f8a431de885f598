#pragma once

#include <QString>
#include <QStringList>

namespace vexa {

// The one rule for text from outside that a message or a terminal shows: an archive entry, a path, an
// id or a name from a catalog, a manifest's version. Control characters (C0, DEL, C1) and the
// bidirectional controls that reorder what is shown become escapes such as "\x1B" and "\u202E", so that
// no message carries a raw escape sequence into a log, a terminal or a dialog. Text without them comes
// back as it is, without a copy.

// A name quoted in a message: line feeds and tabs are escaped too, so a name cannot forge a line.
QString printableName(const QString &name);
// Each name of a list, joined with ", ".
QString printableNames(const QStringList &names);
// A whole text for a terminal (a message, a listing): its own line feeds and tabs stay.
QString printableText(const QString &text);
// JSON text for a terminal: JSON already escapes C0 characters inside strings, so what is left (DEL,
// C1, the bidirectional controls) becomes "\u" escapes, which leave the document's meaning unchanged.
// The line breaks and indentation of the document itself stay.
QString printableJson(const QString &jsonText);

} // namespace vexa
