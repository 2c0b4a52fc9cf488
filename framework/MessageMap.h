#pragma once
// Message maps: each class that answers messages lists them inside its own
// body, one entry a line, next to its handlers:
//
//     class CMyButton : public CButton
//     {
//         ...
//         BEGIN_MSG_MAP(CMyButton, CButton)
//             ON_WM_MOUSEMOVE()
//             ON_MESSAGE(WM_MY_NOTE, &CMyButton::OnMyNote)
//             ON_BN_CLICKED(IDCANCEL, &CMyButton::OnClickedCancel)
//         END_MSG_MAP()
//     };
//
// CCmdTarget::DispatchMessageMap is the one dispatcher: it walks the class's own
// table from top to bottom, then its base's, and calls the first entry that
// matches. A derived class therefore overrides a base entry by listing the same
// message. Handlers keep the platform's natural signatures (below, beside each
// macro); the compiler checks each one where the macro names it. The map
// leaves the class's access at protected.
//
// ON_WM_xxx() entries call the handler by its conventional name (OnPaint...), so
// a class that does not declare one reaches its base's, which usually does the
// default processing. Entries that take a handler take a pointer to member
// (&CClass::OnSomething); a virtual handler is called virtually.

#include "framework/Geometry.h"
#include "framework/Object.h"

#include <windows.h>

class CCmdTarget;

struct MessageMapEntry
{
    // What the entry matches: any message in [nMessage, nLastMessage]; a command
    // (WM_COMMAND) or notification (WM_NOTIFY) with code nCode from a control
    // whose ID lies in [nID, nLastID].
    enum Kind : UINT { Message, Command, Notify };

    // Calls the handler on the target (always of the class the entry was
    // declared in) with the message's parameters; returns the message result.
    using Thunk = LRESULT (*)(CCmdTarget* pTarget, UINT message, WPARAM wParam, LPARAM lParam);

    Kind nKind;
    UINT nMessage;
    UINT nLastMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    // A message number known only at run time (RegisterWindowMessage); replaces
    // nMessage when not null.
    const UINT* pnRegisteredMessage;
    Thunk pfnThunk; // null ends a table
};

struct MessageMap
{
    const MessageMap* (*pfnGetBaseMap)(); // null for the root
    const MessageMapEntry* pEntries;
};

// The root of everything that answers messages or commands: windows and the
// application object.
class CCmdTarget : public CObject
{
public:
    // Finds the first matching entry, derived class first, and calls it. Returns
    // FALSE (lResult untouched) when no entry of the class chain matches.
    BOOL DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

    // The map of the object's own class, as declared by BEGIN_MSG_MAP.
    virtual const MessageMap* GetMessageMap() const { return GetThisMessageMap(); }

protected:
    CCmdTarget() = default;

    static const MessageMap* GetThisMessageMap();
};

// ---- Declaring a map ---------------------------------------------------------

#define BEGIN_MSG_MAP(theClass, baseClass)                                         \
protected:                                                                         \
    const ::MessageMap* GetMessageMap() const override { return GetThisMessageMap(); } \
    static const ::MessageMap* GetThisMessageMap()                                 \
    {                                                                              \
        using ThisClass = theClass;                                                \
        using TheBaseClass = baseClass;                                            \
        static const ::MessageMapEntry s_entries[] = {

#define END_MSG_MAP()                                                     \
            {::MessageMapEntry::Message, 0, 0, 0, 0, 0, nullptr, nullptr} \
        };                                                                \
        static const ::MessageMap s_map = {&TheBaseClass::GetThisMessageMap, s_entries}; \
        return &s_map;                                                    \
    }                                                                     \
                                                                          \
protected:

// The pieces of an entry. QUILMER_THUNK(body) is a handler call with the target
// as `pThis` (of the declaring class) and the parameters as `message`, `wParam`
// and `lParam`; body is an expression giving the LRESULT.
#define QUILMER_THUNK(body)                                                                \
    [](::CCmdTarget* pTarget, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {     \
        ThisClass* pThis = static_cast<ThisClass*>(pTarget);                               \
        (void)pThis; (void)message; (void)wParam; (void)lParam;                            \
        return (body);                                                                     \
    }
#define QUILMER_MSG_ENTRY(msg, body) \
    {::MessageMapEntry::Message, (msg), (msg), 0, 0, 0, nullptr, QUILMER_THUNK(body)},
#define QUILMER_VOID(call) ((call), LRESULT{0})

// ---- Window messages ---------------------------------------------------------

// LRESULT OnX(WPARAM wParam, LPARAM lParam): private and user messages.
#define ON_MESSAGE(msg, memberFn) \
    QUILMER_MSG_ENTRY(msg, (pThis->*(memberFn))(wParam, lParam))
// The same for a number from RegisterWindowMessage, held in a UINT variable.
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFn)                     \
    {::MessageMapEntry::Message, 0, 0, 0, 0, 0, &(nMessageVariable),          \
     QUILMER_THUNK((pThis->*(memberFn))(wParam, lParam))},

// int OnCreate(LPCREATESTRUCT): 0 to go on, -1 to fail the creation.
#define ON_WM_CREATE() \
    QUILMER_MSG_ENTRY(WM_CREATE, static_cast<LRESULT>(pThis->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam))))
// void OnDestroy()
#define ON_WM_DESTROY() QUILMER_MSG_ENTRY(WM_DESTROY, QUILMER_VOID(pThis->OnDestroy()))
// void OnClose()
#define ON_WM_CLOSE() QUILMER_MSG_ENTRY(WM_CLOSE, QUILMER_VOID(pThis->OnClose()))
// void OnPaint(HDC hdcPrint): one handler for both ways a client area is
// painted. hdcPrint is null for a real WM_PAINT (the handler begins and ends
// the paint) and the DC a WM_PRINTCLIENT carries (draw into it, no BeginPaint).
#define ON_WM_PAINT()                                               \
    QUILMER_MSG_ENTRY(WM_PAINT, QUILMER_VOID(pThis->OnPaint(nullptr))) \
    QUILMER_MSG_ENTRY(WM_PRINTCLIENT, QUILMER_VOID(pThis->OnPaint(reinterpret_cast<HDC>(wParam))))
// BOOL OnEraseBkgnd(HDC): nonzero when the background is done.
#define ON_WM_ERASEBKGND() \
    QUILMER_MSG_ENTRY(WM_ERASEBKGND, static_cast<LRESULT>(pThis->OnEraseBkgnd(reinterpret_cast<HDC>(wParam))))
// void OnSize(UINT nType, int cx, int cy)
#define ON_WM_SIZE()                                                                         \
    QUILMER_MSG_ENTRY(WM_SIZE, QUILMER_VOID(pThis->OnSize(static_cast<UINT>(wParam),         \
                                                         static_cast<short>(LOWORD(lParam)), \
                                                         static_cast<short>(HIWORD(lParam)))))
// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON() \
    QUILMER_MSG_ENTRY(WM_QUERYDRAGICON, reinterpret_cast<LRESULT>(pThis->OnQueryDragIcon()))
// void OnSysCommand(UINT nID, LPARAM lParam)
#define ON_WM_SYSCOMMAND() \
    QUILMER_MSG_ENTRY(WM_SYSCOMMAND, QUILMER_VOID(pThis->OnSysCommand(static_cast<UINT>(wParam), lParam)))
// void OnTimer(UINT_PTR nIDEvent)
#define ON_WM_TIMER() QUILMER_MSG_ENTRY(WM_TIMER, QUILMER_VOID(pThis->OnTimer(static_cast<UINT_PTR>(wParam))))
// HBRUSH OnCtlColor(HDC hDC, HWND hWnd, UINT nCtlColor): every WM_CTLCOLORxxx
// request; nCtlColor is CTLCOLOR_MSGBOX .. CTLCOLOR_STATIC.
#define ON_WM_CTLCOLOR()                                                                          \
    {::MessageMapEntry::Message, WM_CTLCOLORMSGBOX, WM_CTLCOLORSTATIC, 0, 0, 0, nullptr,          \
     QUILMER_THUNK(reinterpret_cast<LRESULT>(pThis->OnCtlColor(reinterpret_cast<HDC>(wParam),     \
                                                               reinterpret_cast<HWND>(lParam),    \
                                                               message - WM_CTLCOLORMSGBOX)))},
// void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT)
#define ON_WM_DRAWITEM()                                                                   \
    QUILMER_MSG_ENTRY(WM_DRAWITEM, (pThis->OnDrawItem(static_cast<int>(wParam),            \
                                                      reinterpret_cast<LPDRAWITEMSTRUCT>(lParam)), \
                                    LRESULT{TRUE}))
// void OnSetFocus(HWND hOldWnd), void OnKillFocus(HWND hNewWnd)
#define ON_WM_SETFOCUS() \
    QUILMER_MSG_ENTRY(WM_SETFOCUS, QUILMER_VOID(pThis->OnSetFocus(reinterpret_cast<HWND>(wParam))))
#define ON_WM_KILLFOCUS() \
    QUILMER_MSG_ENTRY(WM_KILLFOCUS, QUILMER_VOID(pThis->OnKillFocus(reinterpret_cast<HWND>(wParam))))
// void OnCaptureChanged(HWND hNewCapture)
#define ON_WM_CAPTURECHANGED() \
    QUILMER_MSG_ENTRY(WM_CAPTURECHANGED, QUILMER_VOID(pThis->OnCaptureChanged(reinterpret_cast<HWND>(lParam))))

// Mouse: void OnX(UINT nFlags, CPoint point), point in client coordinates.
#define QUILMER_MOUSE_ENTRY(msg, fn) \
    QUILMER_MSG_ENTRY(msg, QUILMER_VOID(pThis->fn(static_cast<UINT>(wParam), ::CPoint(lParam))))
#define ON_WM_MOUSEMOVE()     QUILMER_MOUSE_ENTRY(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_LBUTTONDOWN()   QUILMER_MOUSE_ENTRY(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP()     QUILMER_MOUSE_ENTRY(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() QUILMER_MOUSE_ENTRY(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_MOUSEHOVER()    QUILMER_MOUSE_ENTRY(WM_MOUSEHOVER, OnMouseHover)
// void OnMouseLeave()
#define ON_WM_MOUSELEAVE() QUILMER_MSG_ENTRY(WM_MOUSELEAVE, QUILMER_VOID(pThis->OnMouseLeave()))

// ---- Commands and notifications ------------------------------------------------

// void OnX(): WM_COMMAND with notification code `code` from control (or menu
// item, accelerator) `id`. ON_COMMAND is code 0, which is also BN_CLICKED.
#define ON_CONTROL(code, id, memberFn)                                           \
    {::MessageMapEntry::Command, WM_COMMAND, WM_COMMAND, static_cast<UINT>(code), \
     static_cast<UINT>(id), static_cast<UINT>(id), nullptr,                      \
     QUILMER_THUNK(QUILMER_VOID((pThis->*(memberFn))()))},
#define ON_COMMAND(id, memberFn)    ON_CONTROL(0, id, memberFn)
#define ON_BN_CLICKED(id, memberFn) ON_CONTROL(BN_CLICKED, id, memberFn)
// void OnX(NMHDR* pNMHDR, LRESULT* pResult): WM_NOTIFY with code `code` from
// control `id`; the handler sets *pResult (0 beforehand).
#define ON_NOTIFY(code, id, memberFn)                                                  \
    {::MessageMapEntry::Notify, WM_NOTIFY, WM_NOTIFY, static_cast<UINT>(code),          \
     static_cast<UINT>(id), static_cast<UINT>(id), nullptr,                            \
     QUILMER_THUNK(::MessageMapNotifyResult(pThis, memberFn, lParam))},

template <typename Target, typename Handler>
LRESULT MessageMapNotifyResult(Target* pThis, Handler memberFn, LPARAM lParam)
{
    LRESULT lResult = 0;
    (pThis->*memberFn)(reinterpret_cast<NMHDR*>(lParam), &lResult);
    return lResult;
}
