#ifndef BOOTSTRAP_PLATFORM_PARENT_DEATH_H_
#define BOOTSTRAP_PLATFORM_PARENT_DEATH_H_

// For a child between fork and exec, async-signal-safe: has the system
// kill it (SIGKILL) once the thread that forked it ends. False where the
// platform cannot. Each platform has its own file for it.
bool killWhenParentDies();

#endif
