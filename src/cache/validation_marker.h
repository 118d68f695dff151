#ifndef BOOTSTRAP_CACHE_VALIDATION_MARKER_H_
#define BOOTSTRAP_CACHE_VALIDATION_MARKER_H_

#include <string>

// The marker ".validatestring" in the cache directory holds the ETag of the
// archive the cached agent came from, verbatim and without a newline.

// The marker's first line; false when there is no marker to read.
bool readValidationString(const std::string& cacheDir, std::string* line);

// True when the marker's first line equals validationString byte for byte.
bool isCacheValid(std::string cacheDir, std::string validationString);

// Stamps the marker; does nothing when either argument is empty.
void writeValidationString(std::string cacheDir, std::string validationString);

// Beside the marker, ".sourceurl" in the cache directory (ending in "/")
// holds the URL the cached agent came from, verbatim: two products at two
// URLs may well serve archives with equal ETags, so an ETag vouches only
// for an agent of the same URL. Written before the marker, removed with it.
bool readSourceUrl(const std::string& cacheDir, std::string* url);
void writeSourceUrl(const std::string& cacheDir, const std::string& url);

#endif
