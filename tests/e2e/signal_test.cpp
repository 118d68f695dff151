// Signals during the download and during the agent's run.
