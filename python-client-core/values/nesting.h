// A bound on the nesting of values, shared by every recursive walk over them (codec, plain
// forms, dictionary forms), so that no input can overflow the stack and a value that
// contains itself ends in a clear error.
#pragma once

#include <stdexcept>

namespace lorengraph {

constexpr int kMaxValueNesting = 1000;

class NestingGuard {
 public:
  explicit NestingGuard(int& depth) : depth_(depth) {
    if (++depth_ > kMaxValueNesting) {
      --depth_;
      throw std::invalid_argument(
          "Value is nested more than 1000 levels deep or contains itself.");
    }
  }
  ~NestingGuard() { --depth_; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;

 private:
  int& depth_;
};

}  // namespace lorengraph
