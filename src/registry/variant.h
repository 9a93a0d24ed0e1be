// Variant value: Empty, a text, or a 32-bit integer.
#pragma once

#include <variant>

#include "platform/text.h"
#include "platform/win_types.h"

namespace registry {

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(platform::Text text) : value_(std::move(text)) {}
  Variant(platform::Long number) : value_(number) {}

  bool IsEmpty() const { return std::holds_alternative<std::monostate>(value_); }
  bool IsText() const { return std::holds_alternative<platform::Text>(value_); }
  bool IsNumber() const { return std::holds_alternative<platform::Long>(value_); }
  const platform::Text& text() const { return std::get<platform::Text>(value_); }
  platform::Long number() const { return std::get<platform::Long>(value_); }

  // Empty gives the empty text, a number its decimal form, a text itself.
  platform::Text TextForm() const;

  bool operator==(const Variant&) const = default;

 private:
  std::variant<std::monostate, platform::Text, platform::Long> value_;
};

}  // namespace registry
