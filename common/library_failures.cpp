// The C++ library reports its own failures (no memory, a string too long, an index out of range)
// through these helpers. The library's definitions build std::logic_error and its kin, whose
// strings bring its prebuilt string code, a quarter of the installer; in the installer these take
// their place. No memory stays std::bad_alloc; the rest fail the run without a text of their own,
// and the window says so in its own words.
#include <new>

#include "common/failure.h"

namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }
void __throw_length_error(const char*) { Fail(nullptr); }
void __throw_logic_error(const char*) { Fail(nullptr); }
void __throw_out_of_range_fmt(const char*, ...) { Fail(nullptr); }
}  // namespace std
