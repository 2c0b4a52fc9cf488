#include "net/DebugOutputCapture.h"

#include <windows.h>

#include <cstring>
#include <mutex>
#include <stdexcept>

namespace {

using OutputDebugStringWFn = void(WINAPI*)(LPCWSTR);

std::mutex g_mutex;
std::vector<std::wstring> g_lines;
OutputDebugStringWFn g_pfnReal = nullptr;

void WINAPI RecordingOutputDebugStringW(LPCWSTR pszText)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_lines.emplace_back(pszText ? pszText : L"");
    }
    g_pfnReal(pszText);
}

// The import address table slot of kernel32's OutputDebugStringW in this executable.
void** FindImportSlot()
{
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name; ++desc) {
        if (!desc->OriginalFirstThunk)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "OutputDebugStringW") == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    throw std::runtime_error("the executable does not import OutputDebugStringW");
}

void WriteSlot(void** slot, void* value)
{
    DWORD oldProtect = 0;
    ::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &oldProtect);
    *slot = value;
    ::VirtualProtect(slot, sizeof *slot, oldProtect, &oldProtect);
}

} // namespace

DebugOutputCapture::DebugOutputCapture()
{
    void** slot = FindImportSlot();
    if (!g_pfnReal)
        g_pfnReal = reinterpret_cast<OutputDebugStringWFn>(*slot);
    Clear();
    WriteSlot(slot, reinterpret_cast<void*>(&RecordingOutputDebugStringW));
}

DebugOutputCapture::~DebugOutputCapture()
{
    WriteSlot(FindImportSlot(), reinterpret_cast<void*>(g_pfnReal));
}

std::vector<std::wstring> DebugOutputCapture::Lines() const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_lines;
}

void DebugOutputCapture::Clear()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lines.clear();
}
