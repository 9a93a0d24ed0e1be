#include <cstdio>
#include <cstdlib>

#include "progress.h"

namespace wine_harness {

void append_to(const char* variable, const std::string& text) {
  const char* path = std::getenv(variable);
  if (path == nullptr || *path == '\0') return;
  if (std::FILE* file = std::fopen(path, "a")) {
    std::fputs(text.c_str(), file);
    std::fclose(file);
  }
}

void progress_line(const std::string& line) { append_to("HOTFIX_PROGRESS", line + "\n"); }

}  // namespace wine_harness
