#pragma once

namespace vexa {

// The process's peak resident memory so far, in KiB; -1 where the system does not say.
long peakResidentKilobytes();

} // namespace vexa
