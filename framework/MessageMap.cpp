#include "framework/MessageMap.h"

namespace {

bool IdInRange(const MessageMapEntry& entry, UINT_PTR nID)
{
    return nID >= entry.nID && nID <= entry.nLastID;
}

bool Matches(const MessageMapEntry& entry, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (entry.pnRegisteredMessage) {
        // A registration that failed leaves 0, which must match nothing.
        if (*entry.pnRegisteredMessage == 0 || message != *entry.pnRegisteredMessage)
            return false;
    } else if (message < entry.nMessage || message > entry.nLastMessage) {
        return false;
    }

    switch (entry.nKind) {
    case MessageMapEntry::Command:
        return HIWORD(wParam) == entry.nCode && IdInRange(entry, LOWORD(wParam));
    case MessageMapEntry::Notify: {
        const NMHDR* pHeader = reinterpret_cast<const NMHDR*>(lParam);
        return pHeader && pHeader->code == entry.nCode && IdInRange(entry, pHeader->idFrom);
    }
    case MessageMapEntry::Message:
        break;
    }
    return true;
}

} // namespace

const MessageMap* CCmdTarget::GetThisMessageMap()
{
    static const MessageMapEntry s_entries[] = {
        {MessageMapEntry::Message, 0, 0, 0, 0, 0, nullptr, nullptr},
    };
    static const MessageMap s_map = {nullptr, s_entries};
    return &s_map;
}

BOOL CCmdTarget::DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    for (const MessageMap* pMap = GetMessageMap(); pMap;
         pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const MessageMapEntry* pEntry = pMap->pEntries; pEntry->pfnThunk; ++pEntry) {
            if (Matches(*pEntry, message, wParam, lParam)) {
                lResult = pEntry->pfnThunk(this, message, wParam, lParam);
                return TRUE;
            }
        }
    }
    return FALSE;
}
