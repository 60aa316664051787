// How a step of the installation fails: std::runtime_error carrying the Chinese text that the
// person reads. Thrown from one place, so that each failing step costs a call, not the
// throw's own code.
#pragma once

[[noreturn]] void Fail(const char* text);
