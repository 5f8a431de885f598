#pragma once

#include <QString>

namespace vexa {

// Tells the user about a failure in a program that has no window of its own, and returns once the
// report has been taken in. Windows shows a foreground error message box without owner and waits for
// it to be dismissed; other systems write the caption and the text to standard error.
void showFailureReport(const QString &caption, const QString &text);

} // namespace vexa
