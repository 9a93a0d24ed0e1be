// The probe's requests and answers, one code on both sides: the Win32 probe
// answers through the real platform, the host test through the simulated one,
// and the two answer lines must be equal.
//
// One request a line, fields separated by TAB, each field escaped (below):
//   queryvalue    <key under HKLM> <value name>
//   queryvalueex  <key under HKLM> <value name>
//   getregvalue   <key under HKLM> <value name>
//   getos
//   verinfo       <path>
// One answer a line, the request's fields first, then:
//   queryvalue    <Boolean> <key text after> <value name after>
//   queryvalueex  <RegOpenKeyA status> <status> <variant>
//   getregvalue   <variant or failure:N> <key text after> <value name after>
//   getos         <name>
//   verinfo       <path after> <the seven texts, each "-" unless set>
// A variant is "empty", "text:<escaped>" or "number:<decimal>".
// Escaping: printable ASCII stays, except "\" which is "\\"; every other
// UTF-16 code unit is \uXXXX, so NULs and code-page losses show exactly.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "registry/variant.h"

namespace probe {

std::string escape(const platform::Text& text);
platform::Text unescape(const std::string& field);
std::string variant_field(const registry::Variant& value);

// The answer line's fields for one request (its fields, unescaped by this).
std::vector<std::string> answer(platform::Platform& p, const std::vector<std::string>& request);

}  // namespace probe
