#include "registry/lookups.h"

#include "registry/readers.h"

namespace registry {
namespace {

platform::Text Lookup(platform::Platform& platform, LookupFields fields,
                      const char16_t* key, const char16_t* value_name) {
  fields.lRegRoot = platform::kHkeyLocalMachine;
  fields.sRegKey = key;
  fields.sRegValueName = value_name;
  // The fields themselves go to the reader, which hands the texts back.
  return get_reg_value(platform, fields.lRegRoot, fields.sRegKey, fields.sRegValueName).text();
}

}  // namespace

platform::Text get_reg_Kesta(platform::Platform& platform, LookupFields fields) {
  return Lookup(platform, fields, kSuiteSetupKey, kSuiteLocationValue);
}

platform::Text get_reg_Valto(platform::Platform& platform, LookupFields fields) {
  return Lookup(platform, fields, kFirewallKey, kFirewallInstallPathValue);
}

platform::Text get_lang_code(platform::Platform& platform, LookupFields fields) {
  return Lookup(platform, fields, kUpdaterProgramKey, kLanguageValue);
}

}  // namespace registry
