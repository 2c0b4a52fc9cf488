// The exception unwinder of the 32-bit program, in place of the compiler
// runtime's (libgcc_eh, 24 KB with its own tables).
//
// A C++ throw ends in _Unwind_RaiseException, which walks the stack twice with
// the call-frame tables the compiler writes into .eh_frame: first to find the
// frame whose personality routine (the C++ library's) accepts the exception,
// then again from the top, letting every frame's personality run its cleanups,
// until the handler's frame takes over. The library's catch, rethrow and
// personality code stays as it is; this file is only the part below it, for
// the one module and the one calling convention this program has:
//
//  - the table is the executable's own, registered by the start-up code
//    (crtbegin's __register_frame_info); frames without an entry in it (the
//    system's DLLs) end the walk, so an exception that would leave the
//    program's code terminates, as it does with the library's unwinder;
//  - registers are the eight integer registers and the return address, in
//    the numbering of the 32-bit tables (eax 0 ... edi 7, eip 8);
//  - the frame descriptions use the instructions and pointer encodings the
//    compiler emits for this target; anything else makes the walk fail, which
//    terminates the process rather than guess.
//
// The lookup is a linear scan of the table: exceptions are rare here (errors
// only), the table holds a few hundred entries, and a sorted index would need
// memory at the worst moment (an exception while memory is short).
//
// Compiled without unwind tables of its own: no walk ever passes through these
// functions, because each public entry records its caller's registers first
// and the walk starts in the caller.

#if defined(__i386__)

#include "runtime/DwarfReader.h"

#include <unwind.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace dwarf;

namespace {

enum : unsigned { kEax, kEcx, kEdx, kEbx, kEsp, kEbp, kEsi, kEdi, kEip, kRegisterCount };

// The caller's registers as each public entry records them, in this order.
struct CallerRegisters {
    uint32_t uEbx, uEbp, uEsi, uEdi, uEsp, uEip;
};

} // namespace

// One frame of the walk: its registers as they are at its call into the frame
// below (reg[kEsp] is the stack pointer just after that call returned, reg[kEip]
// the return address), and what its table entry says.
struct _Unwind_Context {
    uint32_t reg[kRegisterCount];
    uint32_t uFunctionStart;
    const uint8_t* pLsda;
    uint32_t uArgsSize;
};

namespace {

// --- Reading the table -------------------------------------------------------

// The start of the executable's .eh_frame, given at start-up; the table ends
// with a zero length word (crtend).
const uint8_t* g_pFrameTable;

// How a caller's register is found once the frame's CFA (the stack pointer
// before the call into the frame) is known.
enum RuleKind : uint8_t { kSame, kUndefined, kAtOffset, kValueOffset, kInRegister, kAtExpression, kValueExpression };

struct RegisterRule {
    RuleKind kind;
    uint8_t uRegister;
    int32_t nOffset;
    const uint8_t* pExpression;   // length-prefixed block
};

struct FrameRow {
    RegisterRule rule[kRegisterCount];
    unsigned uCfaRegister;
    int32_t nCfaOffset;
    const uint8_t* pCfaExpression;   // length-prefixed block, or null
    uint32_t uArgsSize;
};

struct CommonEntry {
    uint32_t uCodeAlign;
    int32_t nDataAlign;
    unsigned uReturnColumn;
    uint8_t fdeEncoding;
    uint8_t lsdaEncoding;
    _Unwind_Personality_Fn pfnPersonality;
    bool bAugmentationData;   // each entry has augmentation data (its LSDA pointer)
    const uint8_t* pInstructions;
    const uint8_t* pEnd;
};

struct FrameInfo {
    FrameRow row;
    unsigned uReturnColumn;
    _Unwind_Personality_Fn pfnPersonality;
    const uint8_t* pLsda;
    uint32_t uFunctionStart;
};

bool ParseCommonEntry(const uint8_t* pRecord, CommonEntry& cie)
{
    uint32_t uLength;
    std::memcpy(&uLength, pRecord, 4);
    if (uLength == 0 || uLength == 0xFFFFFFFF)
        return false;
    Reader r(pRecord + 4, pRecord + 4 + uLength);
    if (r.U32() != 0)
        return false;
    const uint8_t version = r.U8();
    if (version != 1 && version != 3)
        return false;
    const char* pszAugmentation = reinterpret_cast<const char*>(r.Position());
    r.Skip(uint32_t(std::strlen(pszAugmentation) + 1));
    cie.uCodeAlign = r.ULeb();
    cie.nDataAlign = r.SLeb();
    cie.uReturnColumn = version == 1 ? r.U8() : r.ULeb();
    cie.fdeEncoding = kPeAbsPtr;
    cie.lsdaEncoding = kPeOmit;
    cie.pfnPersonality = nullptr;
    cie.bAugmentationData = pszAugmentation[0] == 'z';
    if (cie.bAugmentationData) {
        const uint32_t nData = r.ULeb();
        const uint8_t* pDataEnd = r.Position() + nData;
        for (const char* p = pszAugmentation + 1; *p && r.Ok(); ++p) {
            if (*p == 'R') {
                cie.fdeEncoding = r.U8();
            } else if (*p == 'L') {
                cie.lsdaEncoding = r.U8();
            } else if (*p == 'P') {
                const uint8_t encoding = r.U8();
                cie.pfnPersonality = reinterpret_cast<_Unwind_Personality_Fn>(uintptr_t(r.Encoded(encoding)));
            } else {
                return false;   // signal frames and the like: never in this program
            }
        }
        r.MoveTo(pDataEnd);
    } else if (pszAugmentation[0] != '\0') {
        return false;
    }
    cie.pInstructions = r.Position();
    cie.pEnd = pRecord + 4 + uLength;
    return r.Ok() && cie.uReturnColumn < kRegisterCount;
}

// The opcodes of call-frame instructions (DW_CFA_*).
enum : uint8_t {
    kCfaNop = 0x00, kCfaSetLoc = 0x01, kCfaAdvanceLoc1 = 0x02, kCfaAdvanceLoc2 = 0x03,
    kCfaAdvanceLoc4 = 0x04, kCfaOffsetExtended = 0x05, kCfaRestoreExtended = 0x06,
    kCfaUndefined = 0x07, kCfaSameValue = 0x08, kCfaRegister = 0x09, kCfaRememberState = 0x0A,
    kCfaRestoreState = 0x0B, kCfaDefCfa = 0x0C, kCfaDefCfaRegister = 0x0D, kCfaDefCfaOffset = 0x0E,
    kCfaDefCfaExpression = 0x0F, kCfaExpression = 0x10, kCfaOffsetExtendedSf = 0x11,
    kCfaDefCfaSf = 0x12, kCfaDefCfaOffsetSf = 0x13, kCfaValOffset = 0x14, kCfaValOffsetSf = 0x15,
    kCfaValExpression = 0x16, kCfaGnuArgsSize = 0x2E, kCfaGnuNegativeOffsetExtended = 0x2F,
    kCfaAdvanceLoc = 0x40, kCfaOffset = 0x80, kCfaRestore = 0xC0,
};

// Runs call-frame instructions until the row that holds at uTarget - 1 (the
// call instruction before a return address uTarget) is built.
bool RunInstructions(const CommonEntry& cie, const uint8_t* p, const uint8_t* pEnd, uint32_t uLocation,
                     uint32_t uTarget, const FrameRow& initial, FrameRow& row)
{
    constexpr unsigned kMaxRemembered = 8;
    FrameRow remembered[kMaxRemembered];
    unsigned nRemembered = 0;
    Reader r(p, pEnd);

    auto SetRule = [&row](uint32_t uRegister, RuleKind kind, int32_t nOffset, const uint8_t* pExpression,
                          uint32_t uOther) {
        if (uRegister >= kRegisterCount)
            return;   // a register the walk never restores (flags, x87, SSE)
        row.rule[uRegister] = RegisterRule{kind, uint8_t(uOther), nOffset, pExpression};
    };
    auto SkipBlock = [&r]() {
        const uint8_t* pBlock = r.Position();
        r.Skip(r.ULeb());
        return pBlock;
    };

    while (!r.AtEnd() && uLocation < uTarget) {
        const uint8_t op = r.U8();
        const uint8_t operand = op & 0x3F;
        switch (op & 0xC0) {
        case kCfaAdvanceLoc:
            uLocation += operand * cie.uCodeAlign;
            continue;
        case kCfaOffset:
            SetRule(operand, kAtOffset, int32_t(r.ULeb()) * cie.nDataAlign, nullptr, 0);
            continue;
        case kCfaRestore:
            if (operand < kRegisterCount)
                row.rule[operand] = initial.rule[operand];
            continue;
        default:
            break;
        }
        uint32_t uRegister;
        switch (op) {
        case kCfaNop:
            break;
        case kCfaSetLoc:
            uLocation = r.Encoded(cie.fdeEncoding);
            break;
        case kCfaAdvanceLoc1: uLocation += r.U8() * cie.uCodeAlign; break;
        case kCfaAdvanceLoc2: uLocation += r.U16() * cie.uCodeAlign; break;
        case kCfaAdvanceLoc4: uLocation += r.U32() * cie.uCodeAlign; break;
        case kCfaOffsetExtended:
            uRegister = r.ULeb();
            SetRule(uRegister, kAtOffset, int32_t(r.ULeb()) * cie.nDataAlign, nullptr, 0);
            break;
        case kCfaOffsetExtendedSf:
            uRegister = r.ULeb();
            SetRule(uRegister, kAtOffset, r.SLeb() * cie.nDataAlign, nullptr, 0);
            break;
        case kCfaGnuNegativeOffsetExtended:
            uRegister = r.ULeb();
            SetRule(uRegister, kAtOffset, -int32_t(r.ULeb()) * cie.nDataAlign, nullptr, 0);
            break;
        case kCfaValOffset:
            uRegister = r.ULeb();
            SetRule(uRegister, kValueOffset, int32_t(r.ULeb()) * cie.nDataAlign, nullptr, 0);
            break;
        case kCfaValOffsetSf:
            uRegister = r.ULeb();
            SetRule(uRegister, kValueOffset, r.SLeb() * cie.nDataAlign, nullptr, 0);
            break;
        case kCfaRestoreExtended:
            uRegister = r.ULeb();
            if (uRegister < kRegisterCount)
                row.rule[uRegister] = initial.rule[uRegister];
            break;
        case kCfaUndefined:
            SetRule(r.ULeb(), kUndefined, 0, nullptr, 0);
            break;
        case kCfaSameValue:
            SetRule(r.ULeb(), kSame, 0, nullptr, 0);
            break;
        case kCfaRegister: {
            uRegister = r.ULeb();
            const uint32_t uOther = r.ULeb();
            if (uOther >= kRegisterCount)
                return false;
            SetRule(uRegister, kInRegister, 0, nullptr, uOther);
            break;
        }
        case kCfaExpression:
            uRegister = r.ULeb();
            SetRule(uRegister, kAtExpression, 0, SkipBlock(), 0);
            break;
        case kCfaValExpression:
            uRegister = r.ULeb();
            SetRule(uRegister, kValueExpression, 0, SkipBlock(), 0);
            break;
        case kCfaRememberState:
            if (nRemembered == kMaxRemembered)
                return false;
            remembered[nRemembered++] = row;
            break;
        case kCfaRestoreState: {
            if (nRemembered == 0)
                return false;
            // The argument area is a property of the location, not of the state.
            const uint32_t uArgsSize = row.uArgsSize;
            row = remembered[--nRemembered];
            row.uArgsSize = uArgsSize;
            break;
        }
        case kCfaDefCfa:
            row.uCfaRegister = r.ULeb();
            row.nCfaOffset = int32_t(r.ULeb());
            row.pCfaExpression = nullptr;
            break;
        case kCfaDefCfaSf:
            row.uCfaRegister = r.ULeb();
            row.nCfaOffset = r.SLeb() * cie.nDataAlign;
            row.pCfaExpression = nullptr;
            break;
        case kCfaDefCfaRegister:
            row.uCfaRegister = r.ULeb();
            row.pCfaExpression = nullptr;
            break;
        case kCfaDefCfaOffset:
            row.nCfaOffset = int32_t(r.ULeb());
            break;
        case kCfaDefCfaOffsetSf:
            row.nCfaOffset = r.SLeb() * cie.nDataAlign;
            break;
        case kCfaDefCfaExpression:
            row.pCfaExpression = SkipBlock();
            break;
        case kCfaGnuArgsSize:
            row.uArgsSize = r.ULeb();
            break;
        default:
            return false;
        }
    }
    return r.Ok() && row.uCfaRegister < kRegisterCount;
}

// Finds the table entry of the function that holds uReturnAddress - 1 and
// builds its row there.
bool FindFrame(uint32_t uReturnAddress, FrameInfo& info)
{
    const uint8_t* p = g_pFrameTable;
    if (!p || uReturnAddress == 0)
        return false;
    const uint32_t uPc = uReturnAddress - 1;
    const uint8_t* pLastCie = nullptr;
    CommonEntry cie{};
    for (;;) {
        uint32_t uLength;
        std::memcpy(&uLength, p, 4);
        if (uLength == 0)
            return false;
        if (uLength == 0xFFFFFFFF)
            return false;   // 64-bit lengths: never in a 32-bit table
        const uint8_t* pBody = p + 4;
        const uint8_t* pEnd = pBody + uLength;
        uint32_t uCieOffset;
        std::memcpy(&uCieOffset, pBody, 4);
        if (uCieOffset != 0) {
            const uint8_t* pCie = pBody - uCieOffset;
            if (pCie != pLastCie) {
                if (!ParseCommonEntry(pCie, cie))
                    return false;
                pLastCie = pCie;
            }
            Reader r(pBody + 4, pEnd);
            const uint32_t uStart = r.Encoded(cie.fdeEncoding);
            const uint32_t uRange = r.Encoded(cie.fdeEncoding & 0x0F);
            if (!r.Ok())
                return false;
            if (uStart != 0 && uPc - uStart < uRange) {
                info.uFunctionStart = uStart;
                info.pLsda = nullptr;
                info.pfnPersonality = cie.pfnPersonality;
                info.uReturnColumn = cie.uReturnColumn;
                const uint8_t* pInstructions = r.Position();
                if (cie.bAugmentationData) {
                    const uint32_t nData = r.ULeb();
                    const uint8_t* pDataEnd = r.Position() + nData;
                    if (cie.lsdaEncoding != kPeOmit)
                        info.pLsda = reinterpret_cast<const uint8_t*>(uintptr_t(r.Encoded(cie.lsdaEncoding)));
                    r.MoveTo(pDataEnd);
                    pInstructions = r.Position();
                }
                if (!r.Ok())
                    return false;
                FrameRow initial{};
                if (!RunInstructions(cie, cie.pInstructions, cie.pEnd, 0, 0xFFFFFFFF, initial, initial))
                    return false;
                info.row = initial;
                return RunInstructions(cie, pInstructions, pEnd, uStart, uReturnAddress, initial, info.row);
            }
        }
        p = pEnd;
    }
}

// --- Moving to the caller ----------------------------------------------------

// Evaluates a length-prefixed DWARF expression over the frame's registers, with
// pInitial pushed first when given. The operations the compiler uses to
// describe realigned stacks, and the plain arithmetic around them.
bool Evaluate(const uint8_t* pBlock, const _Unwind_Context& context, const uint32_t* pInitial, uint32_t& uResult)
{
    constexpr unsigned kDepth = 16;
    uint32_t stack[kDepth];
    unsigned n = 0;
    if (pInitial)
        stack[n++] = *pInitial;
    Reader length(pBlock, pBlock + 5);
    const uint32_t nBytes = length.ULeb();
    Reader r(length.Position(), length.Position() + nBytes);
    while (!r.AtEnd()) {
        const uint8_t op = r.U8();
        uint32_t uPush;
        if (op >= 0x30 && op <= 0x4F) {               // DW_OP_lit0..31
            uPush = op - 0x30;
        } else if (op >= 0x50 && op <= 0x58) {        // DW_OP_reg0..8
            uPush = context.reg[op - 0x50];
        } else if (op >= 0x70 && op <= 0x78) {        // DW_OP_breg0..8
            uPush = context.reg[op - 0x70] + uint32_t(r.SLeb());
        } else {
            switch (op) {
            case 0x06:                                // DW_OP_deref
                if (n == 0)
                    return false;
                stack[n - 1] = *reinterpret_cast<const uint32_t*>(uintptr_t(stack[n - 1]));
                continue;
            case 0x08: uPush = r.U8(); break;         // DW_OP_const1u
            case 0x09: uPush = uint32_t(int32_t(int8_t(r.U8()))); break;
            case 0x0A: uPush = r.U16(); break;
            case 0x0B: uPush = uint32_t(int32_t(int16_t(r.U16()))); break;
            case 0x0C:
            case 0x0D: uPush = r.U32(); break;
            case 0x10: uPush = r.ULeb(); break;       // DW_OP_constu
            case 0x11: uPush = uint32_t(r.SLeb()); break;
            case 0x12:                                // DW_OP_dup
                if (n == 0)
                    return false;
                uPush = stack[n - 1];
                break;
            case 0x13:                                // DW_OP_drop
                if (n == 0)
                    return false;
                --n;
                continue;
            case 0x23:                                // DW_OP_plus_uconst
                if (n == 0)
                    return false;
                stack[n - 1] += r.ULeb();
                continue;
            case 0x1A:                                // DW_OP_and
            case 0x1C:                                // DW_OP_minus
            case 0x22: {                              // DW_OP_plus
                if (n < 2)
                    return false;
                const uint32_t uTop = stack[--n];
                uint32_t& uNext = stack[n - 1];
                uNext = op == 0x1A ? (uNext & uTop) : op == 0x1C ? uNext - uTop : uNext + uTop;
                continue;
            }
            case 0x96:                                // DW_OP_nop
                continue;
            default:
                return false;
            }
        }
        if (n == kDepth)
            return false;
        stack[n++] = uPush;
    }
    if (!r.Ok() || n == 0)
        return false;
    uResult = stack[n - 1];
    return true;
}

enum class Step { kMoved, kEndOfStack, kFailed };

// Replaces the frame by its caller.
Step StepToCaller(_Unwind_Context& context, const FrameInfo& info)
{
    const FrameRow& row = info.row;
    uint32_t uCfa;
    if (row.pCfaExpression) {
        if (!Evaluate(row.pCfaExpression, context, nullptr, uCfa))
            return Step::kFailed;
    } else {
        uCfa = context.reg[row.uCfaRegister] + uint32_t(row.nCfaOffset);
    }
    uint32_t caller[kRegisterCount];
    std::memcpy(caller, context.reg, sizeof(caller));
    caller[kEsp] = uCfa;
    for (unsigned i = 0; i < kRegisterCount; ++i) {
        const RegisterRule& rule = row.rule[i];
        uint32_t uAddress;
        switch (rule.kind) {
        case kSame:
            break;
        case kUndefined:
            if (i == info.uReturnColumn)
                return Step::kEndOfStack;
            break;
        case kAtOffset:
            caller[i] = *reinterpret_cast<const uint32_t*>(uintptr_t(uCfa + uint32_t(rule.nOffset)));
            break;
        case kValueOffset:
            caller[i] = uCfa + uint32_t(rule.nOffset);
            break;
        case kInRegister:
            caller[i] = context.reg[rule.uRegister];
            break;
        case kAtExpression:
            if (!Evaluate(rule.pExpression, context, &uCfa, uAddress))
                return Step::kFailed;
            caller[i] = *reinterpret_cast<const uint32_t*>(uintptr_t(uAddress));
            break;
        case kValueExpression:
            if (!Evaluate(rule.pExpression, context, &uCfa, caller[i]))
                return Step::kFailed;
            break;
        }
    }
    caller[kEip] = caller[info.uReturnColumn];
    if (caller[kEip] == 0)
        return Step::kEndOfStack;
    std::memcpy(context.reg, caller, sizeof(caller));
    return Step::kMoved;
}

void StartContext(_Unwind_Context& context, const CallerRegisters& regs)
{
    std::memset(&context, 0, sizeof(context));
    context.reg[kEbx] = regs.uEbx;
    context.reg[kEbp] = regs.uEbp;
    context.reg[kEsi] = regs.uEsi;
    context.reg[kEdi] = regs.uEdi;
    context.reg[kEsp] = regs.uEsp;
    context.reg[kEip] = regs.uEip;
}

void Describe(_Unwind_Context& context, const FrameInfo& info)
{
    context.uFunctionStart = info.uFunctionStart;
    context.pLsda = info.pLsda;
    context.uArgsSize = info.row.uArgsSize;
}

// Resumes the frame at the landing pad its personality chose, with the
// exception and the selector in the registers the personality set.
[[noreturn]] void InstallContext(const _Unwind_Context& context)
{
    uint32_t reg[kRegisterCount];
    std::memcpy(reg, context.reg, sizeof(reg));
    reg[kEsp] += context.uArgsSize;
    // The register image lives in this function's frame, far below the target
    // stack pointer, so switching to the target stack and pushing the resume
    // address there cannot overwrite it.
    __asm__ volatile(
        "movl %0, %%ecx\n\t"
        "movl 12(%%ecx), %%ebx\n\t"
        "movl 20(%%ecx), %%ebp\n\t"
        "movl 24(%%ecx), %%esi\n\t"
        "movl 28(%%ecx), %%edi\n\t"
        "movl 0(%%ecx), %%eax\n\t"
        "movl 8(%%ecx), %%edx\n\t"
        "movl 16(%%ecx), %%esp\n\t"
        "pushl 32(%%ecx)\n\t"
        "movl 4(%%ecx), %%ecx\n\t"
        "ret"
        :
        : "r"(reg)
        : "memory");
    __builtin_unreachable();
}

// Phase two: from the frame given, every frame's personality runs its
// cleanups, until the frame that phase one chose installs its handler.
_Unwind_Reason_Code UnwindToHandler(_Unwind_Exception* pException, _Unwind_Context& context)
{
    for (;;) {
        FrameInfo info;
        if (!FindFrame(context.reg[kEip], info))
            return _URC_FATAL_PHASE2_ERROR;
        Describe(context, info);
        const bool bHandlerFrame = context.reg[kEsp] == pException->private_2;
        if (info.pfnPersonality) {
            const int actions = _UA_CLEANUP_PHASE | (bHandlerFrame ? _UA_HANDLER_FRAME : 0);
            const _Unwind_Reason_Code code = info.pfnPersonality(
                1, actions, pException->exception_class, pException, &context);
            if (code == _URC_INSTALL_CONTEXT)
                InstallContext(context);
            if (code != _URC_CONTINUE_UNWIND)
                return _URC_FATAL_PHASE2_ERROR;
        }
        if (bHandlerFrame || StepToCaller(context, info) != Step::kMoved)
            return _URC_FATAL_PHASE2_ERROR;
    }
}

} // namespace

extern "C" {

// The bodies of the public entries, called by the stubs below with the
// caller's registers.

__attribute__((used)) _Unwind_Reason_Code QuilmerRaiseException(_Unwind_Exception* pException,
                                                                 const CallerRegisters* pRegs)
{
    _Unwind_Context start;
    StartContext(start, *pRegs);

    // Phase one: find the handler without changing anything.
    _Unwind_Context context = start;
    for (;;) {
        FrameInfo info;
        if (!FindFrame(context.reg[kEip], info))
            return _URC_END_OF_STACK;
        Describe(context, info);
        if (info.pfnPersonality) {
            const _Unwind_Reason_Code code = info.pfnPersonality(
                1, _UA_SEARCH_PHASE, pException->exception_class, pException, &context);
            if (code == _URC_HANDLER_FOUND)
                break;
            if (code != _URC_CONTINUE_UNWIND)
                return _URC_FATAL_PHASE1_ERROR;
        }
        switch (StepToCaller(context, info)) {
        case Step::kMoved: break;
        case Step::kEndOfStack: return _URC_END_OF_STACK;
        case Step::kFailed: return _URC_FATAL_PHASE1_ERROR;
        }
    }
    // A frame is known by its stack pointer at its call, the same in both phases.
    pException->private_1 = 0;
    pException->private_2 = context.reg[kEsp];
    return UnwindToHandler(pException, start);
}

__attribute__((used)) void QuilmerResume(_Unwind_Exception* pException, const CallerRegisters* pRegs)
{
    _Unwind_Context context;
    StartContext(context, *pRegs);
    UnwindToHandler(pException, context);
    std::abort();
}

__attribute__((used)) _Unwind_Reason_Code QuilmerResumeOrRethrow(_Unwind_Exception* pException,
                                                                  const CallerRegisters* pRegs)
{
    // No forced unwinding exists here, so every exception is an ordinary one.
    return QuilmerRaiseException(pException, pRegs);
}

} // extern "C"

// The public entries record their caller's callee-saved registers, its stack
// pointer after the call returns and the return address, then call their body
// with the exception and that record. The record is the CallerRegisters
// layout: ebx, ebp, esi, edi, esp, eip.
__asm__(
    ".text\n"
    "QuilmerUnwindEntry:\n\t"          // eax: the body to call
    "movl 4(%esp), %edx\n\t"
    "leal 4(%esp), %ecx\n\t"
    "pushl (%esp)\n\t"
    "pushl %ecx\n\t"
    "pushl %edi\n\t"
    "pushl %esi\n\t"
    "pushl %ebp\n\t"
    "pushl %ebx\n\t"
    "movl %esp, %ecx\n\t"
    "pushl %ecx\n\t"
    "pushl %edx\n\t"
    "call *%eax\n\t"
    "addl $32, %esp\n\t"
    "ret\n"
    ".globl __Unwind_RaiseException\n"
    "__Unwind_RaiseException:\n\t"
    "movl $_QuilmerRaiseException, %eax\n\t"
    "jmp QuilmerUnwindEntry\n"
    ".globl __Unwind_Resume\n"
    "__Unwind_Resume:\n\t"
    "movl $_QuilmerResume, %eax\n\t"
    "jmp QuilmerUnwindEntry\n"
    ".globl __Unwind_Resume_or_Rethrow\n"
    "__Unwind_Resume_or_Rethrow:\n\t"
    "movl $_QuilmerResumeOrRethrow, %eax\n\t"
    "jmp QuilmerUnwindEntry\n");

extern "C" {

void _Unwind_DeleteException(_Unwind_Exception* pException)
{
    if (pException->exception_cleanup)
        pException->exception_cleanup(_URC_FOREIGN_EXCEPTION_CAUGHT, pException);
}

_Unwind_Word _Unwind_GetGR(_Unwind_Context* pContext, int nRegister)
{
    return unsigned(nRegister) < kRegisterCount ? pContext->reg[nRegister] : 0;
}

void _Unwind_SetGR(_Unwind_Context* pContext, int nRegister, _Unwind_Word uValue)
{
    if (unsigned(nRegister) < kRegisterCount)
        pContext->reg[nRegister] = uint32_t(uValue);
}

_Unwind_Ptr _Unwind_GetIP(_Unwind_Context* pContext)
{
    return pContext->reg[kEip];
}

_Unwind_Ptr _Unwind_GetIPInfo(_Unwind_Context* pContext, int* pbBeforeInstruction)
{
    *pbBeforeInstruction = 0;   // always a return address: no signal frames
    return pContext->reg[kEip];
}

void _Unwind_SetIP(_Unwind_Context* pContext, _Unwind_Ptr uValue)
{
    pContext->reg[kEip] = uint32_t(uValue);
}

_Unwind_Word _Unwind_GetCFA(_Unwind_Context* pContext)
{
    return pContext->reg[kEsp];
}

void* _Unwind_GetLanguageSpecificData(_Unwind_Context* pContext)
{
    return const_cast<uint8_t*>(pContext->pLsda);
}

_Unwind_Ptr _Unwind_GetRegionStart(_Unwind_Context* pContext)
{
    return pContext->uFunctionStart;
}

// Text- and data-relative encodings are never used in a 32-bit Windows image;
// their bases are 0, as the compiler runtime has them for a registered table.
_Unwind_Ptr _Unwind_GetDataRelBase(_Unwind_Context*)
{
    return 0;
}

_Unwind_Ptr _Unwind_GetTextRelBase(_Unwind_Context*)
{
    return 0;
}

// Called by crtbegin's start-up code with the start of the executable's table.
void __register_frame_info(const void* pBegin, void*)
{
    g_pFrameTable = static_cast<const uint8_t*>(pBegin);
}

void* __deregister_frame_info(const void* pBegin)
{
    if (pBegin == g_pFrameTable)
        g_pFrameTable = nullptr;
    return nullptr;
}

// The personality of C functions with cleanups: their tables have the C++
// layout without types, which the C++ personality reads the same way.
_Unwind_Reason_Code __gxx_personality_v0(int, _Unwind_Action, _Unwind_Exception_Class, _Unwind_Exception*,
                                         _Unwind_Context*);

_Unwind_Reason_Code __gcc_personality_v0(int version, _Unwind_Action actions, _Unwind_Exception_Class cls,
                                         _Unwind_Exception* pException, _Unwind_Context* pContext)
{
    return __gxx_personality_v0(version, actions, cls, pException, pContext);
}

} // extern "C"

#endif // __i386__
