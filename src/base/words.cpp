#include "base/words.h"

#include <algorithm>

#include "base/numbers.h"

namespace nvx {

namespace {
int16_t Length16(size_t n) { return static_cast<int16_t>(std::min<size_t>(n, 32767)); }
}  // namespace

int16_t SplitFirstWord(std::string& text, std::string& word) {
  const std::string t = TrimBlanks(text);
  const size_t p = t.find(' ');
  word = t.substr(0, p);
  text = p == std::string::npos ? std::string() : TrimBlanks(std::string_view(t).substr(p));
  return Length16(word.size());
}

int16_t SplitAt(std::string& text, std::string& piece, const std::string& separator) {
  const size_t p = separator.empty() ? std::string::npos : text.find(separator);
  if (p != std::string::npos) {
    piece = text.substr(0, p);
    text.erase(0, p + separator.size());
  } else {
    piece = std::move(text);
    text.clear();
  }
  return Length16(piece.size());
}

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    size_t j = i;
    while (j < text.size() && text[j] != ' ') ++j;
    if (j > i) out.emplace_back(text.substr(i, j - i));
    i = j;
  }
  return out;
}

std::string FirstWord(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  size_t j = i;
  while (j < text.size() && text[j] != ' ') ++j;
  return std::string(text.substr(i, j - i));
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  const std::string trimmed = TrimBlanks(line);
  std::string_view rest = trimmed;
  std::vector<std::string> pieces;
  while (!rest.empty()) {
    const size_t p = rest.find(';');
    const std::string_view piece = rest.substr(0, p);
    if (piece.empty()) break;
    pieces.emplace_back(piece);
    if (p == std::string_view::npos) break;
    rest.remove_prefix(p + 1);
  }
  return pieces;
}

std::string EscapeControlBytes(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (const unsigned char c : s) {
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default:
        if (c < 32 || c >= 127) {
          static const char kHex[] = "0123456789ABCDEF";
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

bool ReplyCountsAsFailed(std::string_view reply) {
  return reply.find("Error ") != std::string_view::npos || reply == "Off ";
}

}  // namespace nvx
