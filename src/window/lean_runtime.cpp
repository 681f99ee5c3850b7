// How the C++ library reports its own errors, made to fit a windowed program.
//
// The library's versions build exception objects that carry a formatted
// message in a second string implementation, and its handler for an escaped
// exception writes the demangled type to a console this program does not
// have. Here every library error reaches the program's one fatal path as a
// plain exception (out of memory, or unexpected), which is all that path
// shows, and an escaped exception, which only a bug can cause, ends the
// program at once.
#include <cstdlib>
#include <exception>
#include <new>

namespace std {

[[noreturn]] void __throw_bad_alloc() { throw bad_alloc(); }
[[noreturn]] void __throw_bad_array_new_length() { throw bad_alloc(); }
[[noreturn]] void __throw_length_error(const char*) { throw bad_alloc(); }
[[noreturn]] void __throw_logic_error(const char*) { throw exception(); }
[[noreturn]] void __throw_out_of_range(const char*) { throw exception(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { throw exception(); }
[[noreturn]] void __throw_invalid_argument(const char*) { throw exception(); }

}  // namespace std

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
