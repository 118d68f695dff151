#include "platform/parent_death.h"

#include <signal.h>
#include <sys/prctl.h>

bool killWhenParentDies() { return prctl(PR_SET_PDEATHSIG, SIGKILL) == 0; }
