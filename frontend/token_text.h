// The text of a token. The lexer's tokens refer to the source they were read from, so reading a
// token copies nothing; any other text is held in the token's own string. A copy of a token
// always owns its text, as a saved token outlives the source position it came from.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvo {

class TTokenText {
 public:
  TTokenText() = default;
  TTokenText(const TTokenText& other) { assign(other.view()); }
  TTokenText& operator=(const TTokenText& other) {
    if (this != &other) assign(other.view());
    return *this;
  }
  TTokenText& operator=(std::string_view text) {
    assign(text);
    return *this;
  }
  TTokenText& operator=(const std::string& text) { return *this = std::string_view(text); }
  TTokenText& operator=(const char* text) { return *this = std::string_view(text); }

  // Text that stays where it is while the token is current: the source being read.
  void refer(std::string_view text) {
    data_ = text.data();
    size_ = static_cast<uint32_t>(text.size());
  }
  // Any other text is copied. `text` may be this token's own.
  void assign(std::string_view text) {
    own_.assign(text.data(), text.size());
    data_ = own_.data();
    size_ = static_cast<uint32_t>(own_.size());
  }

  // Takes a copy of referred text, before the text it refers to changes or goes.
  void own() {
    if (data_ != own_.data()) assign(view());
  }

  std::string_view view() const { return {data_, size_}; }
  operator std::string_view() const { return view(); }
  operator std::string() const { return std::string(view()); }
  std::string str() const { return std::string(view()); }
  const char* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  char operator[](size_t i) const { return data_[i]; }
  const char* begin() const { return data_; }
  const char* end() const { return data_ + size_; }

  friend bool operator==(const TTokenText& a, std::string_view b) { return a.view() == b; }
  friend bool operator==(const TTokenText& a, const std::string& b) { return a.view() == b; }
  friend bool operator==(const TTokenText& a, const char* b) { return a.view() == b; }
  friend std::string operator+(std::string_view a, const TTokenText& b) { return join(a, b.view()); }
  friend std::string operator+(const std::string& a, const TTokenText& b) { return join(a, b.view()); }
  friend std::string operator+(const char* a, const TTokenText& b) { return join(a, b.view()); }
  friend std::string operator+(const TTokenText& a, std::string_view b) { return join(a.view(), b); }
  friend std::string operator+(const TTokenText& a, const std::string& b) { return join(a.view(), b); }
  friend std::string operator+(const TTokenText& a, const char* b) { return join(a.view(), b); }
  friend std::string operator+(const TTokenText& a, char b) { return join(a.view(), std::string_view(&b, 1)); }

 private:
  const char* data_ = "";
  uint32_t size_ = 0;
  std::string own_;

  static std::string join(std::string_view a, std::string_view b) {
    std::string s;
    s.reserve(a.size() + b.size());
    s.append(a).append(b);
    return s;
  }
};

}  // namespace kelvo
