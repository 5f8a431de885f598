#pragma once

#include <QString>

namespace vexa {

// `text` made harmless for a terminal: control characters (C0 but line feed and tab, DEL, C1) and the
// bidirectional overrides that reorder what is shown are replaced by escapes such as "\x1B" and
// "\u202E". Names, paths and messages that come from a catalog or an archive pass through this
// before they are printed, so an entry named with an escape sequence cannot drive the terminal.
QString terminalSafe(const QString &text);

// JSON text made harmless in the same way: JSON already escapes C0 characters inside strings, so
// what is left (DEL, C1, the overrides) becomes "\u" escapes, which leave the document's meaning
// unchanged. The line breaks and indentation of the document itself stay.
QString terminalSafeJson(const QString &jsonText);

} // namespace vexa
