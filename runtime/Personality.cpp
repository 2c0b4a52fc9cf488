// The C++ personality routine of the 32-bit program, in place of the library's.
//
// The unwinder (runtime/Unwind.cpp) calls it for every frame of a walk that has
// language-specific data: it reads the frame's table of call sites, finds the
// one the frame is stopped in, and decides whether the frame catches the
// exception (phase one) and where its cleanups or its handler start (phase two).
// The library's catch code (__cxa_begin_catch and the rest) then finds what the
// handler needs where the library's personality would have left it, in the
// header in front of the thrown object.
//
// Exactly what this program's code needs, and the same decisions as the
// library's for it:
//  - a handler for a type catches when the thrown type converts to it (the
//    type information's own test, which also adjusts the pointer to a base);
//    a handler for a pointer type gets the pointer, catch (...) everything;
//  - a call site the table does not list may not throw (noexcept): terminate;
//  - dynamic throw lists (void f() throw(T)) do not exist in C++17 code; a
//    table that has one makes the exception terminate.
//  - exceptions of other languages are caught only by catch (...).

#if defined(__i386__)

#include "runtime/DwarfReader.h"

#include <unwind.h>

#include <cstdint>
#include <cstring>
#include <exception>
#include <typeinfo>

using namespace dwarf;

extern "C" [[noreturn]] void __cxa_call_terminate(_Unwind_Exception*) noexcept;

namespace {

// The library's header in front of a thrown object, as far as the personality
// reads and writes it; the unwinder's part of it comes last. A dependent
// exception (an exception_ptr being rethrown) has the same layout with the
// primary object's address in place of the type.
struct ExceptionHeader {
    const std::type_info* pType;   // dependent: void* of the primary object
    void* pfnDestructor;
    void* pfnUnexpected;
    void* pfnTerminate;
    ExceptionHeader* pNext;
    int nHandlers;
    int nHandlerSwitch;
    const uint8_t* pActionRecord;
    const uint8_t* pLsda;
    uintptr_t uLandingPad;
    void* pAdjusted;
    _Unwind_Exception unwind;
};
static_assert(offsetof(ExceptionHeader, unwind) == 48 && sizeof(ExceptionHeader) == 80,
              "the library's exception header on the 32-bit target");

ExceptionHeader* HeaderOf(_Unwind_Exception* pException)
{
    return reinterpret_cast<ExceptionHeader*>(reinterpret_cast<char*>(pException) - offsetof(ExceptionHeader, unwind));
}

// "GNUCC++\0" and "GNUCC++\1" (dependent), the last byte in the lowest.
constexpr uint64_t kCxxClass = 0x474E5543432B2B00ULL;

bool IsCxxException(_Unwind_Exception_Class cls)
{
    return (cls & ~uint64_t(1)) == kCxxClass;
}

// The thrown object and its type.
void* ThrownObject(_Unwind_Exception* pException, const std::type_info*& pType)
{
    ExceptionHeader* pHeader = HeaderOf(pException);
    void* pObject = pHeader + 1;
    if (pException->exception_class & 1) {
        pObject = const_cast<std::type_info*>(pHeader->pType);
        pHeader = static_cast<ExceptionHeader*>(pObject) - 1;
    }
    pType = pHeader->pType;
    return pObject;
}

// Whether the handler for pCatchType takes the exception, and the address it
// gets (adjusted to a base class, or the pointer itself for pointer types).
bool Catches(const std::type_info* pCatchType, _Unwind_Exception* pException, void*& pAdjusted)
{
    if (!IsCxxException(pException->exception_class))
        return pCatchType == nullptr;
    const std::type_info* pThrownType;
    void* pObject = ThrownObject(pException, pThrownType);
    if (pCatchType == nullptr) {   // catch (...)
        pAdjusted = pObject;
        return true;
    }
    if (pThrownType->__is_pointer_p())
        pObject = *static_cast<void**>(pObject);
    if (!pCatchType->__do_catch(pThrownType, &pObject, 1))
        return false;
    pAdjusted = pObject;
    return true;
}

struct CallSite {
    bool bFound;
    uintptr_t uLandingPad;           // 0: no landing pad
    const uint8_t* pAction;          // first action record, or null for a cleanup only
    const uint8_t* pTypes;           // end of the type table
    uint8_t typeEncoding;
};

bool FindCallSite(const uint8_t* pLsda, _Unwind_Context* pContext, CallSite& site)
{
    site = CallSite{false, 0, nullptr, nullptr, kPeOmit};
    const uintptr_t uFunction = _Unwind_GetRegionStart(pContext);
    int bBeforeInstruction = 0;
    const uintptr_t uIp = _Unwind_GetIPInfo(pContext, &bBeforeInstruction) - (bBeforeInstruction ? 0 : 1);

    // The header has no length of its own; the tables after it give theirs.
    Reader r(pLsda, pLsda + 0x10000);
    const uint8_t landingPadBaseEncoding = r.U8();
    const uintptr_t uLandingPadBase =
        landingPadBaseEncoding == kPeOmit ? uFunction : r.Encoded(landingPadBaseEncoding);
    site.typeEncoding = r.U8();
    if (site.typeEncoding != kPeOmit) {
        const uint32_t nOffset = r.ULeb();
        site.pTypes = r.Position() + nOffset;
    }
    const uint8_t siteEncoding = r.U8();
    const uint32_t nSites = r.ULeb();
    const uint8_t* pActions = r.Position() + nSites;
    Reader sites(r.Position(), pActions);
    while (!sites.AtEnd()) {
        const uintptr_t uStart = sites.Encoded(siteEncoding);
        const uintptr_t uLength = sites.Encoded(siteEncoding);
        const uintptr_t uPad = sites.Encoded(siteEncoding);
        const uint32_t nAction = sites.ULeb();
        if (!sites.Ok() || uIp < uFunction + uStart)
            break;   // the table is sorted: the site is not listed
        if (uIp < uFunction + uStart + uLength) {
            site.bFound = true;
            site.uLandingPad = uPad ? uLandingPadBase + uPad : 0;
            site.pAction = nAction ? pActions + nAction - 1 : nullptr;
            return r.Ok();
        }
    }
    return r.Ok() && sites.Ok();
}

enum class Decision { kNothing, kCleanup, kHandler, kTerminate };

// Walks the call site's action records: the first handler that takes the
// exception, else whether a cleanup is to run.
Decision Decide(const CallSite& site, _Unwind_Exception* pException, int& nSwitch, void*& pAdjusted)
{
    if (!site.bFound)
        return Decision::kTerminate;
    if (site.uLandingPad == 0)
        return Decision::kNothing;
    if (!site.pAction)
        return Decision::kCleanup;
    bool bCleanup = false;
    const uint8_t* p = site.pAction;
    for (;;) {
        Reader r(p, p + 10);
        const int32_t nFilter = r.SLeb();
        const uint8_t* pDisplacement = r.Position();
        const int32_t nDisplacement = r.SLeb();
        if (!r.Ok())
            return Decision::kTerminate;
        if (nFilter > 0) {
            const uint32_t nSize = EncodedSize(site.typeEncoding);
            if (nSize == 0 || !site.pTypes)
                return Decision::kTerminate;
            const uint8_t* pEntry = site.pTypes - uint32_t(nFilter) * nSize;
            Reader type(pEntry, pEntry + nSize);
            const auto* pCatchType = reinterpret_cast<const std::type_info*>(uintptr_t(type.Encoded(site.typeEncoding)));
            if (!type.Ok())
                return Decision::kTerminate;
            if (Catches(pCatchType, pException, pAdjusted)) {
                nSwitch = nFilter;
                return Decision::kHandler;
            }
        } else if (nFilter == 0) {
            bCleanup = true;
        } else {
            return Decision::kTerminate;   // a dynamic throw list
        }
        if (nDisplacement == 0)
            return bCleanup ? Decision::kCleanup : Decision::kNothing;
        p = pDisplacement + nDisplacement;
    }
}

_Unwind_Reason_Code Install(_Unwind_Context* pContext, _Unwind_Exception* pException, uintptr_t uLandingPad,
                            int nSwitch)
{
    _Unwind_SetGR(pContext, __builtin_eh_return_data_regno(0), reinterpret_cast<uintptr_t>(pException));
    _Unwind_SetGR(pContext, __builtin_eh_return_data_regno(1), _Unwind_Word(nSwitch));
    _Unwind_SetIP(pContext, uLandingPad);
    return _URC_INSTALL_CONTEXT;
}

} // namespace

extern "C" _Unwind_Reason_Code __gxx_personality_v0(int nVersion, _Unwind_Action actions, _Unwind_Exception_Class cls,
                                                    _Unwind_Exception* pException, _Unwind_Context* pContext)
{
    if (nVersion != 1 || !pException || !pContext)
        return _URC_FATAL_PHASE1_ERROR;
    const bool bCxx = IsCxxException(cls);
    ExceptionHeader* pHeader = bCxx ? HeaderOf(pException) : nullptr;

    // The handler's frame, second time round: what phase one found.
    if (actions == (_UA_CLEANUP_PHASE | _UA_HANDLER_FRAME) && pHeader)
        return Install(pContext, pException, pHeader->uLandingPad, pHeader->nHandlerSwitch);

    const uint8_t* pLsda = static_cast<const uint8_t*>(_Unwind_GetLanguageSpecificData(pContext));
    if (!pLsda)
        return _URC_CONTINUE_UNWIND;
    CallSite site;
    if (!FindCallSite(pLsda, pContext, site))
        return _URC_FATAL_PHASE1_ERROR;
    int nSwitch = 0;
    void* pAdjusted = nullptr;
    const Decision decision = Decide(site, pException, nSwitch, pAdjusted);

    if (actions & _UA_SEARCH_PHASE) {
        if (decision == Decision::kTerminate)
            __cxa_call_terminate(pException);
        if (decision != Decision::kHandler)
            return _URC_CONTINUE_UNWIND;
        if (pHeader) {
            pHeader->nHandlerSwitch = nSwitch;
            pHeader->pActionRecord = site.pAction;
            pHeader->pLsda = pLsda;
            pHeader->uLandingPad = site.uLandingPad;
            pHeader->pAdjusted = pAdjusted;
        }
        return _URC_HANDLER_FOUND;
    }

    // Phase two, a frame below the handler: only its cleanups run.
    if (decision == Decision::kTerminate)
        __cxa_call_terminate(pException);
    if (decision == Decision::kNothing)
        return _URC_CONTINUE_UNWIND;
    if (actions & _UA_HANDLER_FRAME)   // a foreign exception's handler
        return Install(pContext, pException, site.uLandingPad, nSwitch);
    return Install(pContext, pException, site.uLandingPad, 0);
}

// Where a function with a dynamic throw list sends an exception the list does
// not allow. The personality above terminates before any such landing pad is
// reached; this ends the same way should one be entered.
extern "C" [[noreturn]] void __cxa_call_unexpected(void* pException)
{
    __cxa_call_terminate(static_cast<_Unwind_Exception*>(pException));
}

#endif // __i386__
