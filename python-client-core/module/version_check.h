// The import-time check that the running interpreter is the one the module was built for.
#pragma once

#include <cctype>
#include <cstring>
#include <string>

namespace lorengraph {

// "3.11.2 (main, ...)" matches "3.11"; "3.110" and "3.12.0" do not.
inline bool interpreter_version_matches(const char* compiled_for, const char* running) {
  const std::size_t n = std::strlen(compiled_for);
  return std::strncmp(running, compiled_for, n) == 0 &&
         !std::isdigit(static_cast<unsigned char>(running[n]));
}

inline std::string version_mismatch_message(const char* compiled_for, const char* running) {
  return std::string("Python version mismatch: module was compiled for Python ") + compiled_for +
         ", but the interpreter version is incompatible: " + running + ".";
}

}  // namespace lorengraph
