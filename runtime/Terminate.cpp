// The program's terminate handler, in place of the runtime's verbose one.
//
// The runtime's default handler demangles the type name of the uncaught exception
// and prints it to stderr, which a windowed program does not have; the demangler
// and the formatted-output engine it needs are more than a third of the executable.
// This one says the same on the debug output, with the type's name as the compiler
// records it, and ends the process the same way (abort).

#include <windows.h>

#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    const std::type_info* pType = abi::__cxa_current_exception_type();
    if (!pType) {
        ::OutputDebugStringA("terminate called without an active exception\n");
    } else {
        ::OutputDebugStringA("terminate called after throwing an instance of ");
        ::OutputDebugStringA(pType->name());
        ::OutputDebugStringA("\n");
    }
    std::abort();
}

} // namespace __gnu_cxx
