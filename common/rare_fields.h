// Fields most records leave empty. An empty one costs a pointer rather than its value, as a
// large program holds every procedure and parameter record until the link step. A copy of a
// record copies the value, not the pointer.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvo {

// A list (offset labels of a procedure).
template <class T>
class TRareList {
 public:
  template <class... TArgs>
  void emplace_back(TArgs&&... args) {
    if (!items_) items_ = std::make_unique<std::vector<T>>();
    items_->emplace_back(std::forward<TArgs>(args)...);
  }
  size_t size() const { return items_ ? items_->size() : 0; }
  const T& operator[](size_t i) const { return (*items_)[i]; }

 private:
  std::unique_ptr<std::vector<T>> items_;
};

// A text (the name an import links by, a string constant's text).
class TRareText {
 public:
  TRareText() = default;
  TRareText(const TRareText& other) { *this = other.view(); }
  TRareText& operator=(const TRareText& other) {
    if (this != &other) *this = other.view();
    return *this;
  }
  TRareText& operator=(std::string_view text) {
    if (text.empty()) text_.reset();
    else text_ = std::make_unique<std::string>(text);
    return *this;
  }
  bool empty() const { return !text_; }
  size_t size() const { return text_ ? text_->size() : 0; }
  void clear() { text_.reset(); }
  std::string_view view() const { return text_ ? std::string_view(*text_) : std::string_view(); }
  operator std::string_view() const { return view(); }
  operator const std::string&() const {
    static const std::string kEmpty;
    return text_ ? *text_ : kEmpty;
  }
  friend bool operator==(const TRareText& a, std::string_view b) { return a.view() == b; }

 private:
  std::unique_ptr<std::string> text_;
};

// A value (a float constant's value): reads as T{} until one is stored.
template <class T>
class TRareValue {
 public:
  TRareValue() = default;
  TRareValue(const TRareValue& other) { *this = other; }
  TRareValue& operator=(const TRareValue& other) {
    if (this == &other) return *this;
    if (other.value_) *this = *other.value_;
    else value_.reset();
    return *this;
  }
  // Every value stored is kept as it is, a zero too: -0.0 must read back as -0.0.
  TRareValue& operator=(const T& value) {
    if (value_) *value_ = value;
    else value_ = std::make_unique<T>(value);
    return *this;
  }
  operator T() const { return value_ ? *value_ : T{}; }

 private:
  std::unique_ptr<T> value_;
};

}  // namespace kelvo
