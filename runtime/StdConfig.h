#pragma once
// Included before every C++ source of the program (-include).
//
// The standard library declares its string instantiations extern, so that every
// use of std::wstring links the library's prebuilt copy of the whole class: 35 KB
// of code and unwind tables, of which the program uses a few members. Without the
// extern declarations the compiler instantiates only the members the program calls.
// The code is the same library code; only where it is compiled changes.

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
