#include "registry/variant.h"

#include <string>

namespace registry {

platform::Text Variant::TextForm() const {
  if (IsText()) return text();
  if (IsNumber()) {
    return platform::Decimal(number());
  }
  return platform::Text();
}

}  // namespace registry
