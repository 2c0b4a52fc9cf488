#pragma once
// Builds a dialog template in memory, so the framework's tests run real dialogs
// without adding test-only resources to the program's resource script.

#include <windows.h>

#include <cstring>
#include <vector>

class DialogTemplate
{
public:
    // Predefined control classes of an item (the template's ordinal form).
    enum ControlClass : WORD { Button = 0x0080, Static = 0x0082 };

    // Dialog units; DS_SETFONT with "MS Shell Dlg" 8 is always added.
    DialogTemplate(DWORD dwStyle, short cx, short cy)
    {
        AppendDword(dwStyle | DS_SETFONT);
        AppendDword(0); // extended style
        m_nCountIndex = m_words.size();
        m_words.push_back(0); // item count, filled as items are added
        m_words.insert(m_words.end(), {0, 0, static_cast<WORD>(cx), static_cast<WORD>(cy)});
        m_words.push_back(0); // no menu
        m_words.push_back(0); // default dialog class
        AppendString(L"");    // no caption
        m_words.push_back(8);
        AppendString(L"MS Shell Dlg");
    }

    DialogTemplate& Add(ControlClass controlClass, WORD nID, DWORD dwStyle, short x, short y, short cx, short cy,
                        const wchar_t* pszText = L"")
    {
        if (m_words.size() % 2)
            m_words.push_back(0); // items start on a DWORD boundary
        AppendDword(dwStyle | WS_CHILD);
        AppendDword(0);
        m_words.insert(m_words.end(),
                       {static_cast<WORD>(x), static_cast<WORD>(y), static_cast<WORD>(cx), static_cast<WORD>(cy)});
        m_words.push_back(nID);
        m_words.push_back(0xFFFF);
        m_words.push_back(controlClass);
        AppendString(pszText);
        m_words.push_back(0); // no creation data
        ++m_words[m_nCountIndex];
        return *this;
    }

    LPCDLGTEMPLATEW get() const { return reinterpret_cast<LPCDLGTEMPLATEW>(m_words.data()); }

private:
    void AppendDword(DWORD dw)
    {
        m_words.push_back(LOWORD(dw));
        m_words.push_back(HIWORD(dw));
    }
    void AppendString(const wchar_t* psz)
    {
        for (; *psz; ++psz)
            m_words.push_back(static_cast<WORD>(*psz));
        m_words.push_back(0);
    }

    // std::vector's storage comes from operator new: aligned well beyond the
    // DWORD alignment a template needs.
    std::vector<WORD> m_words;
    size_t m_nCountIndex = 0;
};
