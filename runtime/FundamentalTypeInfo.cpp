// The two fundamental type descriptors that the runtime's pointer matching refers
// to, in place of the library's member that holds all of them.
//
// Catching an exception thrown as a pointer (CException* and its family) links the
// runtime's pointer-type matching, which compares against typeid(void) (a catch of
// void* takes any object pointer) and typeid(std::nullptr_t) (a thrown nullptr
// matches any pointer). The library keeps those two in one member with the
// descriptors of every fundamental type and every pointer to one, 1.5 KB that no
// handler of the program names.
//
// These are the same objects under the same symbols: a plain std::type_info with
// the mangled name the compiler gives the type, so a comparison with them (by
// address, or by name as type_info compares on this platform) answers as the
// library's would, and so does every kind query (the library's fundamental type
// descriptor overrides none of them). Code that throws or catches a fundamental
// type or a pointer to one (int, void*) names the library's member again, whose
// void and std::nullptr_t then collide with these: such a type needs its
// descriptor added here.

#include <typeinfo>

// i686 C symbols carry a leading underscore; the other widths none.
#if defined(__i386__)
#define QUILMER_CXX_SYMBOL(mangled) "_" mangled
#else
#define QUILMER_CXX_SYMBOL(mangled) mangled
#endif

namespace quilmer_runtime {

// A std::type_info object as the compiler lays it out: the class's virtual table
// (past its offset and type slots) and the name. Written as data so that it is
// constant: ready before any code runs, with no constructor to wait for.
struct TypeInfoImage {
    const void* pVirtualTable;
    const char* pszName;
};
static_assert(sizeof(TypeInfoImage) == sizeof(std::type_info), "a type_info is its table and its name");

// std::type_info's own table, from the part of the library already linked:
// neither a pointer nor a function type, as for any fundamental type.
extern "C" const void* const g_typeInfoTable[] asm(QUILMER_CXX_SYMBOL("_ZTVSt9type_info"));

extern const TypeInfoImage g_voidTypeInfo asm(QUILMER_CXX_SYMBOL("_ZTIv"));
extern const TypeInfoImage g_nullptrTypeInfo asm(QUILMER_CXX_SYMBOL("_ZTIDn"));

const TypeInfoImage g_voidTypeInfo = {&g_typeInfoTable[2], "v"};
const TypeInfoImage g_nullptrTypeInfo = {&g_typeInfoTable[2], "Dn"};

} // namespace quilmer_runtime
