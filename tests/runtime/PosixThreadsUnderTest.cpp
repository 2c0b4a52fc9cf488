// runtime/PosixThreads.cpp under the names the tests call.
#define QUILMER_POSIX_NAME(name) quilmer_##name
#include "runtime/PosixThreads.cpp"
