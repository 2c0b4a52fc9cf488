// The run-time type information of pointer types, in place of the C++
// library's.
//
// A handler for CException* is matched through these two classes. The
// library's versions ask whether a type is void or std::nullptr_t with typeid,
// and those references link the library's table of every fundamental type with
// its pointer forms and names (1.6 KB), which this program never uses. Here the
// same questions compare the types' names, which is how types are compared on
// this target anyway (type_info::operator== compares names), and the rules are
// the language's, as the library applies them:
//  - the same pointer type matches;
//  - a thrown null pointer constant (std::nullptr_t) matches any handler for
//    a pointer, with a null pointer;
//  - otherwise both must be pointers (or both pointers to members), the
//    handler's pointee at least as qualified as the thrown one's, with const
//    at every outer level for a multi-level conversion;
//  - a handler for void* takes any object pointer; any other compares the
//    pointee types, which allows the conversion to a public base class.

#if defined(__i386__)

#include <cxxabi.h>

#include <cstring>

namespace __cxxabiv1 {

namespace {

bool IsNamed(const std::type_info* pType, const char* pszMangledName)
{
    return std::strcmp(pType->name(), pszMangledName) == 0;
}

} // namespace

__pbase_type_info::~__pbase_type_info() {}

bool __pbase_type_info::__do_catch(const std::type_info* pThrownType, void** ppObject, unsigned nOuter) const
{
    if (*this == *pThrownType)
        return true;
    if (IsNamed(pThrownType, "Dn")) {   // std::nullptr_t
        if (!__is_pointer_p())
            return false;   // pointers to members are never thrown in this program
        *ppObject = nullptr;
        return true;
    }
    if (typeid(*this) != typeid(*pThrownType))
        return false;
    if (!(nOuter & 1))
        return false;   // different types, and not const at every outer level
    const auto* pThrown = static_cast<const __pbase_type_info*>(pThrownType);
    unsigned thrownFlags = pThrown->__flags;
    const unsigned functionQualifiers = __transaction_safe_mask | __noexcept_mask;
    const unsigned thrownFunction = thrownFlags & functionQualifiers;
    const unsigned handlerFunction = __flags & functionQualifiers;
    if (thrownFunction & ~handlerFunction)
        thrownFlags &= handlerFunction;   // a noexcept function pointer converts to a plain one
    if (handlerFunction & ~thrownFunction)
        return false;
    if (thrownFlags & ~__flags)
        return false;   // the handler is less qualified
    if (!(__flags & __const_mask))
        nOuter &= ~1u;
    return __pointer_catch(pThrown, ppObject, nOuter);
}

__pointer_type_info::~__pointer_type_info() {}

bool __pointer_type_info::__is_pointer_p() const
{
    return true;
}

bool __pointer_type_info::__pointer_catch(const __pbase_type_info* pThrownType, void** ppObject,
                                          unsigned nOuter) const
{
    if (nOuter < 2 && IsNamed(__pointee, "v"))
        return !pThrownType->__pointee->__is_function_p();
    return __pbase_type_info::__pointer_catch(pThrownType, ppObject, nOuter);
}

} // namespace __cxxabiv1

#endif // __i386__
