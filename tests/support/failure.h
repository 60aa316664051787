// What a failing step says: the text of the error it throws.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

// The text of the std::runtime_error the call throws, or "(returned)".
inline std::string FailureOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "(returned)";
}
