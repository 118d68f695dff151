#ifndef BOOTSTRAP_COMMON_TEXT_H_
#define BOOTSTRAP_COMMON_TEXT_H_

#include <stdint.h>

#include <string>

// Whether text ends with tail.
bool endsWith(const std::string& text, const std::string& tail);

// dir and name with one slash between them, whether or not dir ends in one
// (cache paths end in a slash, other directories do not).
std::string joinPath(const std::string& dir, const std::string& name);

// Reads the decimal digits at text[*at...] into *value and moves *at past
// them; false without a digit or when the number exceeds max.
bool readDecimal(const std::string& text, size_t* at, int64_t max,
                 int64_t* value);

// Whether text holds a control character (below 0x20, or DEL): none may
// travel in a URL or a header line.
bool hasControlCharacter(const std::string& text);

// text cut to at most maxBytes (at least 3) with "..." marking the cut,
// never within a UTF-8 character: what is cut is shown or sent on.
std::string shortened(const std::string& text, size_t maxBytes);

// A whole text of decimal digits, no sign, no blank, at most max.
bool parseDecimal(const std::string& text, int64_t max, int64_t* value);

#endif
