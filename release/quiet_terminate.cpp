// The release build's terminate handler: plain std::abort().
//
// libstdc++'s default handler writes the type of an uncaught exception to stderr, and for that
// links in the whole C++ demangler (about 50 kB). Kalvane is a GUI program without a console, so
// nobody would ever see that message. Defining the handler here keeps the library's own, and the
// demangler with it, out of the executable; std::terminate still ends the program the same way.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
