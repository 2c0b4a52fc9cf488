#include "app/QuilmerDlg.h"

#include "app/SetupFile.h"
#include "framework/Afx.h"
#include "net/ConnectionProbe.h"
#include "net/Diagnostics.h"
#include "res/resource.h"
#include "text/LocalizedText.h"
#include "thread/ThreadException.h"
#include "ui/DialogLayout.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// The Cancel button's looks: left edge, centre strip, right edge.
struct ButtonLook
{
    int nLook;
    UINT nIDLeft, nIDCentre, nIDRight;
};
constexpr ButtonLook BUTTON_LOOKS[] = {
    {CZULTolpButton::LOOK_NORMAL, IDB_BUTTON_NORMAL_LEFT, IDB_BUTTON_NORMAL_CENTRE, IDB_BUTTON_NORMAL_RIGHT},
    {CZULTolpButton::LOOK_HOVER, IDB_BUTTON_HOVER_LEFT, IDB_BUTTON_HOVER_CENTRE, IDB_BUTTON_HOVER_RIGHT},
    {CZULTolpButton::LOOK_PRESSED, IDB_BUTTON_PRESSED_LEFT, IDB_BUTTON_PRESSED_CENTRE, IDB_BUTTON_PRESSED_RIGHT},
    {CZULTolpButton::LOOK_DISABLED, IDB_BUTTON_DISABLED_LEFT, IDB_BUTTON_DISABLED_CENTRE, IDB_BUTTON_DISABLED_RIGHT},
};

// One probe may take this long before the dialog reads its verdict; a probe
// still running then is left to finish on its own.
constexpr DWORD PROBE_WAIT_MS = 5000;

HFONT CreateTahoma(int nWeight)
{
    return ::CreateFontW(14, 0, 0, 0, nWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
}

// Does nothing: the dialog learns of the completion by WM_BINARYDOWN_COMPLETE.
// Runs on the worker thread.
void IgnoreCompletion(CHttpMultiFileDown*, HWND, BOOL*)
{
}

} // namespace

CQuilmerDlg::CQuilmerDlg()
    : CDialog(IDD_QUILMER_DIALOG),
      m_hIcon(::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_bRightToLeft(IsRightToLeftLanguage(GetUserLanguage()))
{
}

CQuilmerDlg::~CQuilmerDlg() = default;

void CQuilmerDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TITLE, m_stcTitle);
    DDX_Control(pDX, IDC_DESCRIPTION, m_stcDescription);
    DDX_Control(pDX, IDC_FILE_STATUS, m_stcFileStatus);
    DDX_Control(pDX, IDC_PERCENT, m_stcPercent);
}

BOOL CQuilmerDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_pImgBackground = LoadPngImage(IDB_BACKGROUND, AfxGetResourceHandle());
    m_pImgLogo = LoadPngImage(IDB_LOGO, AfxGetResourceHandle());

    m_fontBold.reset(CreateTahoma(FW_BOLD));
    m_fontNormal.reset(CreateTahoma(FW_NORMAL));
    // WM_CTLCOLOR selects these fonts as well, but a static control selects its
    // own font after asking for its colours (Wine does), so the statics are
    // given theirs too.
    m_stcTitle.SetFont(m_fontBold.get(), FALSE);
    m_stcDescription.SetFont(m_fontNormal.get(), FALSE);
    m_stcFileStatus.SetFont(m_fontNormal.get(), FALSE);
    m_stcPercent.SetFont(m_fontNormal.get(), FALSE);

    m_strTempPath = GetTempFolder();
    m_strFileName = SETUP_FILE_NAME;

    m_btnCancel.SubclassDlgItem(IDCANCEL, this);
    m_btnCancel.ModifyStyle(0, BS_OWNERDRAW);
    for (const ButtonLook& look : BUTTON_LOOKS)
        m_btnCancel.SetStateImages(look.nLook, look.nIDLeft, look.nIDCentre, look.nIDRight);

    m_stcTitle.SetWindowText(GetLocalizedString(IDS_TITLE));
    m_stcDescription.SetWindowText(GetLocalizedString(IDS_DESCRIPTION));
    CString strFileStatus = GetLocalizedString(IDS_FILE_STATUS);
    strFileStatus.Replace(L"{0}", m_strFileName);
    m_stcFileStatus.SetWindowText(strFileStatus);
    if (m_bRightToLeft) {
        // SS_RIGHT rather than WS_EX_RIGHT, which counts only where the
        // system's own language reads right to left.
        m_stcFileStatus.ModifyStyle(SS_TYPEMASK, SS_RIGHT);
        m_stcFileStatus.ModifyStyleEx(0, WS_EX_RTLREADING);
    }
    m_stcPercent.SetWindowText(L"0%");
    m_btnCancel.SetWindowText(GetLocalizedString(IDS_CANCEL));

    m_progress.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, IDC_SKIN_PROGRESS);

    if (!PassConnectivityGate()) {
        CDialog::OnCancel();
        return FALSE;
    }

    // Without a temporary folder the path would name the root of the current
    // drive; the installer writes nowhere but the temporary folder.
    if (m_strTempPath.IsEmpty()) {
        ShowMessage(NotConnectedText(), MB_ICONEXCLAMATION);
        CDialog::OnCancel();
        return FALSE;
    }
    m_strTempPath = TrimFolder(m_strTempPath);
    if (!ReuseOrStartDownload(JoinFolderAndFile(m_strTempPath, m_strFileName))) {
        CDialog::OnCancel();
        return FALSE;
    }

    // One pixel less than the background each way: the picture's outer frame
    // line on the right and at the bottom stays outside the window.
    if (m_pImgBackground) {
        MoveWindow(0, 0, static_cast<int>(m_pImgBackground.GetWidth()) - 1,
                   static_cast<int>(m_pImgBackground.GetHeight()) - 1, TRUE);
    }
    CenterWindow();
    return TRUE;
}

BOOL CQuilmerDlg::PassConnectivityGate()
{
    for (;;) {
        // PROBE_URL is a constant: valid for the whole run of every probe,
        // including one that outlives its wait.
        UniqueHandle hProbe(::CreateThread(nullptr, 0, CheckConnection, const_cast<wchar_t*>(PROBE_URL), 0, nullptr));
        if (hProbe)
            ::WaitForSingleObject(hProbe.get(), PROBE_WAIT_MS);
        hProbe.reset();

        if (g_bInternetConnected.load() != 0)
            return TRUE;
        if (ShowMessage(NotConnectedText(), MB_RETRYCANCEL | MB_ICONEXCLAMATION) == IDCANCEL)
            return FALSE;
    }
}

BOOL CQuilmerDlg::ReuseOrStartDownload(const CString& strLocalPath)
{
    if (EntryExists(strLocalPath)) {
        // Reused only when the server names a size and the file has exactly
        // that size: a failed query (0) says nothing about a present file.
        ULONGLONG nLocalSize = 0;
        const BOOL bLocalKnown = GetLocalFileSize(strLocalPath, nLocalSize);
        const ULONGLONG nRemoteSize = m_downloader.GetRemoteFileSize(GetDownloadURL());
        if (bLocalKnown && nRemoteSize != 0 && nLocalSize == nRemoteSize) {
            // Anyone may have put a file of that size there: it is started
            // only if it passes the check, and from the handle that stays
            // held until then. The held file's own size is what counts.
            LARGE_INTEGER heldSize{};
            if (m_setupTrust.Verify(strLocalPath) && ::GetFileSizeEx(m_setupTrust.GetHandle(), &heldSize) &&
                static_cast<ULONGLONG>(heldSize.QuadPart) == nRemoteSize) {
                PostMessage(WM_BINARYDOWN_COMPLETE, 0, 0);
                return TRUE;
            }
            // A stale or foreign file: removed without a word, and fetched afresh.
            DebugLine(m_setupTrust.DescribeFailure());
            m_setupTrust.DeleteHeld();
        }
    }

    m_downloader.AddDownFile(GetDownloadURL(), strLocalPath, DOWN_TYPE_BINARY, GetDlgItem(IDC_PROGRESS), m_hWnd);
    m_downloader.m_pfnOnComplete = IgnoreCompletion;
    try {
        m_downloader.Start();
    } catch (CThreadException* pException) {
        pException->ReportError(MB_ICONEXCLAMATION);
        pException->Delete();
        return FALSE;
    }
    m_bTransferRunning = TRUE;
    return TRUE;
}

CString CQuilmerDlg::NotConnectedText()
{
    CString strText = GetLocalizedString(IDS_NOT_CONNECTED);
    strText.Replace(L"#", L"\r\n");
    return strText;
}

int CQuilmerDlg::ShowMessage(const CString& strText, UINT nType) const
{
    return AfxMessageBox(strText, m_bRightToLeft ? nType | MB_RTLREADING | MB_RIGHT : nType, 0);
}

void CQuilmerDlg::ReportFailureAndEnd()
{
    m_bTransferRunning = FALSE;
    ShowMessage(NotConnectedText(), MB_ICONEXCLAMATION);
    CDialog::OnCancel();
}

// ---- The flow after start-up -----------------------------------------------------

void CQuilmerDlg::OnBnClickedCancel()
{
    // The transfer holds still (reads nothing) while the user decides.
    m_downloader.m_bPause = TRUE;
    if (ShowMessage(GetLocalizedString(IDS_CONFIRM_EXIT), MB_YESNO) == IDNO) {
        m_downloader.m_bPause = FALSE;
        return;
    }
    m_downloader.CancelDownload();
    // A running transfer reports WM_BINARYDOWN_CANCEL, which ends the dialog;
    // with none running, nothing would.
    if (!m_bTransferRunning)
        CDialog::OnCancel();
}

LRESULT CQuilmerDlg::OnBinaryDownComplete(WPARAM, LPARAM)
{
    m_bTransferRunning = FALSE;
    // A reused file was checked at start-up and is still held; a download is
    // checked now. What fails is deleted, never started, and the user told.
    if (!m_setupTrust.IsVerified() && !m_setupTrust.Verify(JoinFolderAndFile(m_strTempPath, m_strFileName))) {
        DebugLine(m_setupTrust.DescribeFailure());
        m_setupTrust.DeleteHeld();
        ShowMessage(GetLocalizedString(IDS_SETUP_NOT_VERIFIED), MB_ICONEXCLAMATION);
        CDialog::OnCancel();
        return 0;
    }
    DWORD dwProcessId = 0;
    int nStatus = 0;
    m_setupTrust.Launch(dwProcessId, nStatus);
    PostMessage(WM_END_DIALOG, IDOK, 0);
    return 0;
}

LRESULT CQuilmerDlg::OnBinaryDownError(WPARAM, LPARAM)
{
    ReportFailureAndEnd();
    return 0;
}

// The server answered 404: the worker has stopped and will report nothing more.
LRESULT CQuilmerDlg::OnConnectionError(WPARAM, LPARAM)
{
    ReportFailureAndEnd();
    return 0;
}

// Sent by the worker, which waits for this handler: the dialog ends by a posted
// message once that sending call has returned.
LRESULT CQuilmerDlg::OnBinaryDownCancel(WPARAM, LPARAM)
{
    m_bTransferRunning = FALSE;
    PostMessage(WM_END_DIALOG, IDCANCEL, 0);
    return 0;
}

LRESULT CQuilmerDlg::OnEndDialog(WPARAM wParam, LPARAM)
{
    if (wParam == IDOK)
        CDialog::OnOK();
    else if (wParam == IDCANCEL)
        CDialog::OnCancel();
    return 0;
}

// Every chunk of the body reports, most of them with an unchanged percentage;
// only a change touches the text and the bar.
LRESULT CQuilmerDlg::OnDownloadProgress(WPARAM wParam, LPARAM)
{
    const int nPercent = static_cast<int>(wParam);
    if (nPercent == m_progress.m_nPos)
        return 0;
    CString strPercent;
    strPercent.Format(L"%d%%", nPercent);
    m_stcPercent.SetWindowText(strPercent);
    m_progress.m_nPos = nPercent;
    m_progress.Invalidate(TRUE);
    return 0;
}

// ---- Painting, layout, colours and dragging --------------------------------------

void CQuilmerDlg::OnPaint(HDC hdcPrint)
{
    if (!IsIconic()) {
        PaintClient(hdcPrint, [this](PaintBuffer& buffer) { Compose(buffer); });
        return;
    }
    if (hdcPrint) {
        DrawMinimizedIcon(hdcPrint);
        return;
    }
    const PaintScope paint = BeginPaintScope(m_hWnd);
    DrawMinimizedIcon(paint.get());
}

void CQuilmerDlg::DrawMinimizedIcon(HDC hdc)
{
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
    CRect rcClient;
    GetClientRect(&rcClient);
    const CPoint ptIcon = MinimizedIconOrigin(
        rcClient.Size(), CSize(::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON)));
    ::DrawIcon(hdc, ptIcon.x, ptIcon.y, m_hIcon);
}

// The button face colour shows only where a picture failed to draw; the
// background covers the whole client area otherwise.
void CQuilmerDlg::Compose(PaintBuffer& buffer) const
{
    ::SetBkColor(buffer.hdc, ::GetSysColor(COLOR_BTNFACE));
    ::ExtTextOutW(buffer.hdc, 0, 0, ETO_OPAQUE, &buffer.rc, nullptr, 0, nullptr);

    UniqueGpGraphics graphics;
    if (GdipCreateFromHDC(buffer.hdc, graphics.put()) != Ok)
        return;
    m_pImgBackground.Draw(graphics.get(), 0, 0);
    const CPoint ptLogo = CenteredOrigin(
        buffer.rc.Size(),
        CSize(static_cast<int>(m_pImgLogo.GetWidth()), static_cast<int>(m_pImgLogo.GetHeight())));
    m_pImgLogo.Draw(graphics.get(), ptLogo.x, ptLogo.y);
}

HCURSOR CQuilmerDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

// The size arguments are not used: the client area is measured.
void CQuilmerDlg::OnSize(UINT, int, int)
{
    Default();
    if (!m_stcTitle.GetSafeHwnd())
        return;
    CRect rcClient;
    GetClientRect(&rcClient);
    const DialogLayout layout =
        ComputeDialogLayout(rcClient.Width(), static_cast<int>(m_pImgLogo.GetHeight()), m_bRightToLeft);
    m_stcTitle.MoveWindow(&layout.rcTitle, TRUE);
    m_stcDescription.MoveWindow(&layout.rcDescription, TRUE);
    m_stcFileStatus.MoveWindow(&layout.rcFileStatus, TRUE);
    m_stcPercent.MoveWindow(&layout.rcPercent, TRUE);
    m_progress.MoveWindow(&layout.rcProgress, TRUE);
    m_btnCancel.MoveWindow(&layout.rcCancel, TRUE);
}

void CQuilmerDlg::OnDestroy()
{
    CDialog::OnDestroy();
    m_pImgBackground.Release();
    m_pImgLogo.Release();
    m_fontNormal.reset();
    m_fontBold.reset();
}

// Every colour request, the dialog's own included: texts on white, the title in
// bold. The brush of the default processing is not used.
HBRUSH CQuilmerDlg::OnCtlColor(HDC hDC, HWND hWnd, UINT)
{
    Default();
    ::SetBkMode(hDC, TRANSPARENT);
    const bool bTitle = m_stcTitle.GetSafeHwnd() && hWnd == m_stcTitle.GetSafeHwnd();
    ::SelectObject(hDC, bTitle ? m_fontBold.get() : m_fontNormal.get());
    return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
}

void CQuilmerDlg::OnLButtonDown(UINT, CPoint point)
{
    SetCapture();
    m_bDragging = TRUE;
    ClientToScreen(&point);
    m_ptDragStart = point;
    GetWindowRect(&m_rcDragStart);
    Default();
}

void CQuilmerDlg::OnMouseMove(UINT, CPoint point)
{
    if (m_bDragging) {
        ClientToScreen(&point);
        SetWindowPos(nullptr, m_rcDragStart.left + point.x - m_ptDragStart.x,
                     m_rcDragStart.top + point.y - m_ptDragStart.y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    }
    Default();
}

void CQuilmerDlg::OnLButtonUp(UINT, CPoint)
{
    m_bDragging = FALSE;
    ::ReleaseCapture();
    Default();
}

// A capture taken away mid-drag (another window, a message box) ends the drag:
// otherwise the next move without a pressed button would still move the window.
void CQuilmerDlg::OnCaptureChanged(HWND)
{
    m_bDragging = FALSE;
    Default();
}
