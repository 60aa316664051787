#include "common/failure.h"

#include <stdexcept>

void Fail(const char* text) { throw std::runtime_error(text); }
