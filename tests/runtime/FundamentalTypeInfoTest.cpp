// Exceptions thrown as pointers, matched by the runtime against the program's own
// descriptors of void and std::nullptr_t (runtime/FundamentalTypeInfo.cpp).
//
// A plain program, not a GoogleTest one: the test framework names fundamental
// types and so links the library's member that holds their descriptors, whose
// void and std::nullptr_t would collide with these. Here the link succeeds only
// with these two, so every match below goes through them: every catch of a
// pointer compares the handler's type with void (a catch of void* would take any
// object pointer) and the thrown type with std::nullptr_t. Only class and
// function types are thrown and caught, whose descriptors the compiler writes
// itself; a handler of void* would name the library's descriptor of void*.

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <typeinfo>

namespace {

struct CBase {
    virtual ~CBase() = default;
};
struct CDerived : CBase {};
struct COther {
    virtual ~COther() = default;
};

void Function() {}

enum Caught { Base, ConstBase, Other, Anything };

CDerived g_derived;
COther g_other;

// The handlers in the order a program would list them: the most specific first.
Caught ThrowAndCatch(void (*pfnThrow)())
{
    try {
        pfnThrow();
    } catch (CBase*) {
        return Base;
    } catch (const CBase*) {
        return ConstBase;
    } catch (COther*) {
        return Other;
    } catch (...) {
        return Anything;
    }
    return Anything;
}

struct PointerCase {
    const char* name;
    void (*pfnThrow)();
    Caught expected;
};

const PointerCase kCases[] = {
    {"derived_to_base", [] { throw static_cast<CDerived*>(&g_derived); }, Base},
    {"const_derived_to_const_base", [] { throw static_cast<const CDerived*>(&g_derived); }, ConstBase},
    {"unrelated_past_base", [] { throw static_cast<COther*>(&g_other); }, Other},
    // Qualifiers are never dropped: no handler of a pointer takes it.
    {"const_unrelated_to_none", [] { throw static_cast<const COther*>(&g_other); }, Anything},
    {"function_to_none", [] { throw &Function; }, Anything},
    // A thrown nullptr converts to any pointer, matched through the
    // std::nullptr_t descriptor.
    {"nullptr_to_base", [] { throw nullptr; }, Base},
};

int g_nFailures = 0;

void Expect(bool bPassed, const char* pszWhat)
{
    std::printf("%s %s\n", bPassed ? "ok    " : "FAILED", pszWhat);
    if (!bPassed)
        ++g_nFailures;
}

} // namespace

int main()
{
    for (const PointerCase& c : kCases)
        Expect(ThrowAndCatch(c.pfnThrow) == c.expected, c.name);

    Expect(std::strcmp(typeid(void).name(), "v") == 0, "void_named_as_the_compiler_mangles_it");
    Expect(std::strcmp(typeid(std::nullptr_t).name(), "Dn") == 0, "nullptr_named_as_the_compiler_mangles_it");
    Expect(&typeid(void) == &typeid(const void), "typeid_drops_qualifiers_one_object");
    Expect(typeid(void) != typeid(std::nullptr_t) && typeid(void) != typeid(CBase), "void_differs_from_others");
    Expect(typeid(void).before(typeid(CBase)) != typeid(CBase).before(typeid(void)), "ordered_against_others");
    return g_nFailures ? 1 : 0;
}
