// Words of command texts: the splitting every reader of commands and program
// lines shares, and the one rule for a reply that counts as failed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nvx {

// The first blank-separated word of text into word; text keeps the rest with
// its outer blanks removed. Returns the word's length (at most 32767).
int16_t SplitFirstWord(std::string& text, std::string& word);
// The text before the first separator into piece, the text after it stays in
// text; without a separator the whole text is the piece and text becomes
// empty. Returns the piece's length (at most 32767).
int16_t SplitAt(std::string& text, std::string& piece, const std::string& separator);

// The blank-separated words of a text (blank is the only separator).
std::vector<std::string> Words(std::string_view text);
// The first of them, or "".
std::string FirstWord(std::string_view text);

// The pieces of a command line between ";" separators, in order, up to the
// first empty piece (which ends the line), after trimming the line's outer
// blanks. Takes time linear in the line's length.
std::vector<std::string> SplitCommandLine(std::string_view line);

// Text for one line of a terminal or a log: CR, LF and tab as \r \n \t, a
// backslash doubled, other bytes below 32 and from 127 up as \xHH; every
// other byte as it is.
std::string EscapeControlBytes(std::string_view s);

// A reply that counts as failed: it holds "Error " anywhere or is "Off ".
bool ReplyCountsAsFailed(std::string_view reply);

}  // namespace nvx
