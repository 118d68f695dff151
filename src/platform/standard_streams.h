#ifndef BOOTSTRAP_PLATFORM_STANDARD_STREAMS_H_
#define BOOTSTRAP_PLATFORM_STANDARD_STREAMS_H_

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so
// that no file the run opens later takes its place: started with 2>&-,
// the log would otherwise be written into the download.
void openMissingStandardStreams();

#endif
