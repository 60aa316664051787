// What a failing step says: the text of the error it throws.
#pragma once

#include <functional>
#include <string>

#include "common/failure.h"

// The text of the Failure the call throws, or "(returned)".
inline std::string FailureOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure.text;
  }
  return "(returned)";
}
