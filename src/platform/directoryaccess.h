#pragma once

#include <QString>

namespace vexa {

// Whether this process may create entries in the existing directory `path`. On Unix the system says
// so (permissions, and a file system mounted read-only). On Windows the read-only attribute of a
// folder does not stop anyone writing in it, and access control lists are only known by trying, so
// the answer there is yes: a write that is refused fails with its own message.
bool canWriteInDirectory(const QString &path);

} // namespace vexa
