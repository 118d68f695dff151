#ifndef BOOTSTRAP_PLATFORM_SCRATCH_SWEEP_H_
#define BOOTSTRAP_PLATFORM_SCRATCH_SWEEP_H_

#include <string>

// Removes the scratch directories (see TempDir) in parent whose runs are
// gone: a run killed with SIGKILL leaves its own, with whatever it had
// downloaded or unpacked there. Only the user's own marked directories
// whose lock nobody holds are removed, a line logged for each; links are
// never followed, and anything else is left alone.
void removeAbandonedScratch(const std::string& parent);

#endif
