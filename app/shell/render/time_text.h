// The render dialog's duration text ("m:ss" or seconds) and the string splitter it uses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Whole seconds of a duration text: "seconds" (0-59) or "minutes:seconds" (0-99 and 0-59), each
// part clamped into its range. A part without a leading number counts as 0; any other number of
// parts gives 0.
int32_t ParseTimeText(const std::string& text);

// The pieces of `text` between the delimiters, empty ones included: a trailing delimiter gives
// an empty last piece, an empty text one empty piece. An empty delimiter splits nothing.
void SplitString(const std::string& text, const std::string& delimiter, std::vector<std::string>& parts);
