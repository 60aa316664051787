#include "common/failure.h"

void Fail(const char* text) { throw Failure{text}; }
