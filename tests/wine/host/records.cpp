#include "records.h"

#include "process.h"

namespace wine_harness {

std::string unescape(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out += field[i];
      continue;
    }
    switch (field[++i]) {
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      default: out += field[i];
    }
  }
  return out;
}

std::vector<Record> read_records(const std::filesystem::path& file) {
  std::vector<Record> records;
  const std::string text = read_text(file);
  size_t begin = 0;
  for (size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
    const std::string line = text.substr(begin, end - begin);
    Record record;
    size_t from = 0;
    for (size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
      record.push_back(unescape(line.substr(from, tab - from)));
    record.push_back(unescape(line.substr(from)));
    records.push_back(record);
  }
  return records;
}

}  // namespace wine_harness
