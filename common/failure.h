// How a step of the installation fails: it throws a Failure carrying the Chinese text that the
// person reads. A type of our own, not std::runtime_error: that one brings the C++ library's
// prebuilt strings, a quarter of the installer. Thrown from one place, so that each failing step
// costs a call, not the throw's own code.
#pragma once

struct Failure {
  const char* text;  // outlives the run: a literal, or a text the caller keeps
};

[[noreturn]] void Fail(const char* text);
