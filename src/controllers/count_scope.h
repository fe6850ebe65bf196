// Raises a counter for the life of a scope and lowers it on every way out;
// the drivers count their requests in progress with it.
#pragma once

#include <cstdint>

namespace nvx {

class CountScope {
 public:
  explicit CountScope(int16_t& count) : count_(count) { ++count_; }
  ~CountScope() { --count_; }
  CountScope(const CountScope&) = delete;
  CountScope& operator=(const CountScope&) = delete;

 private:
  int16_t& count_;
};

}  // namespace nvx
