// libstdc++'s default terminate handler prints the exception's demangled type name to a
// console that a windowed program does not have, and links the whole demangler for it. This
// definition takes its place: an escaped exception ends the program as abort() does.
#include <cstdlib>
#include <exception>

#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
#endif
