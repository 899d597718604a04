// Plain text as every reader of radcon's inputs sees it: one set of blank
// characters, and lines that may end in LF, CR LF or a lone CR (old Mac files).
#pragma once

#include <cstddef>
#include <string_view>

namespace radcon {

// White space between words: blank, tab, the line ends, vertical tab, form feed.
constexpr bool isBlank(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The text without blanks at either end.
constexpr std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && isBlank(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && isBlank(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// The lines of a text, one after another, without their line ends, counted from
// 1. A copy remembers where it stands, so a reader can look ahead and come back.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}

  // The next line; false at the end of the text.
  bool next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find_first_of("\r\n", pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    pos_ = end;
    if (pos_ < text_.size() && text_[pos_] == '\r') ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    ++number_;
    return true;
  }
  // The number of the line returned last (0 before the first).
  int number() const { return number_; }
  // Whether the whole text has been handed out.
  bool atEnd() const { return pos_ >= text_.size(); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  int number_ = 0;
};

}  // namespace radcon
