#ifndef BOOTSTRAP_CACHE_AGENT_IN_USE_H_
#define BOOTSTRAP_CACHE_AGENT_IN_USE_H_

#include <string>

// The cached agent is in use while a run that runs it holds a shared lock
// on the in-use file beside it; a run replaces the agent only under an
// exclusive lock on that file, taken without waiting, so that an agent
// never loses its files while it runs and no run waits for another's
// agent. Both are taken under the cache's lock (CacheLock), so a run never
// sees the agent between the decision and the hold.

// Holds the agent in the cache directory (ending in "/") in use for the
// rest of this process: the lock goes when the process ends, after its
// agent has. False when it cannot be had (a run is replacing the agent, or
// the lock file cannot be made).
bool holdCachedAgentInUse(const std::string& cacheDir);

// The exclusive lock for replacing the cached agent, tried once.
class AgentReplacement {
 public:
  explicit AgentReplacement(const std::string& cacheDir);
  ~AgentReplacement();
  AgentReplacement(const AgentReplacement&) = delete;
  AgentReplacement& operator=(const AgentReplacement&) = delete;

  // False while any run holds the agent in use.
  bool granted() const { return granted_; }
  // The new agent is this run's to run: the lock turns shared and is held
  // for the rest of the process, as holdCachedAgentInUse holds it.
  void keepInUse();

 private:
  int fd_ = -1;
  bool granted_ = false;
};

#endif
