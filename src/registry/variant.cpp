#include "registry/variant.h"

#include <string>

namespace registry {

platform::Text Variant::TextForm() const {
  if (IsText()) return text();
  if (IsNumber()) {
    const std::string digits = std::to_string(number());
    return platform::Text(digits.begin(), digits.end());
  }
  return platform::Text();
}

}  // namespace registry
