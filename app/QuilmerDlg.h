#pragma once
// CQuilmerDlg: the installer's only window. Its start-up (OnInitDialog) sets up
// the look and the texts, holds the connectivity gate before the window is
// ever shown, reuses a setup file already present or starts its download; from
// then on it follows the downloader's messages, starts the setup when the file
// is complete, and ends. It paints itself (background and logo), lays out its
// controls from the logo's height and is dragged by its body.
//
// Everything here runs on the main (UI) thread. The downloader's worker
// reaches the dialog only by the messages of net/DownloadMessages.h, and the
// dialog reaches the worker only through its pause and cancel flags.

#include "app/SetupTrust.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "net/HttpMultiFileDown.h"
#include "ui/CustomProgress.h"
#include "ui/SkinImage.h"
#include "ui/ZULTolpButton.h"

class CQuilmerDlg : public CDialog
{
public:
    // Template 102, no parent. Loads icon 128 and constructs the downloader and
    // the skinned controls (which load their pictures: GDI+ must be running).
    CQuilmerDlg();
    ~CQuilmerDlg() override;

    // TRUE when the download runs or a present file will be reused; FALSE when
    // the user gave up at the connectivity question, the temporary folder is
    // unknown or the worker could not be started (the dialog has then been
    // ended with IDCANCEL).
    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    // Painting, layout, colours, clean-up and dragging.
    void OnPaint(HDC hdcPrint);
    HCURSOR OnQueryDragIcon();
    void OnSize(UINT nType, int cx, int cy);
    void OnDestroy();
    HBRUSH OnCtlColor(HDC hDC, HWND hWnd, UINT nCtlColor);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnCaptureChanged(HWND hNewCapture);

    // The flow. The Cancel button, Escape and the Close command all arrive as
    // IDCANCEL.
    void OnBnClickedCancel();
    LRESULT OnBinaryDownComplete(WPARAM wParam, LPARAM lParam);
    LRESULT OnBinaryDownError(WPARAM wParam, LPARAM lParam);
    LRESULT OnBinaryDownCancel(WPARAM wParam, LPARAM lParam);
    LRESULT OnDownloadProgress(WPARAM wParam, LPARAM lParam);
    LRESULT OnEndDialog(WPARAM wParam, LPARAM lParam);
    LRESULT OnConnectionError(WPARAM wParam, LPARAM lParam);

    BEGIN_MSG_MAP(CQuilmerDlg, CDialog)
        ON_WM_PAINT()
        ON_WM_QUERYDRAGICON()
        ON_WM_SIZE()
        ON_WM_DESTROY()
        ON_WM_CTLCOLOR()
        ON_WM_LBUTTONUP()
        ON_WM_LBUTTONDOWN()
        ON_WM_MOUSEMOVE()
        ON_WM_CAPTURECHANGED()
        ON_BN_CLICKED(IDCANCEL, &CQuilmerDlg::OnBnClickedCancel)
        ON_MESSAGE(WM_BINARYDOWN_COMPLETE, &CQuilmerDlg::OnBinaryDownComplete)
        ON_MESSAGE(WM_BINARYDOWN_ERROR, &CQuilmerDlg::OnBinaryDownError)
        ON_MESSAGE(WM_BINARYDOWN_CANCEL, &CQuilmerDlg::OnBinaryDownCancel)
        ON_MESSAGE(WM_DOWNLOAD_PROGRESS, &CQuilmerDlg::OnDownloadProgress)
        ON_MESSAGE(WM_END_DIALOG, &CQuilmerDlg::OnEndDialog)
        ON_MESSAGE(WM_CONNECTION_ERROR, &CQuilmerDlg::OnConnectionError)
    END_MSG_MAP()

    HICON m_hIcon; // shared icon resource 128: not destroyed
    SkinImage m_pImgBackground; // 146; its size decides the window's size
    SkinImage m_pImgLogo;       // 145; its height places the lower controls
    CWnd m_stcTitle;
    CWnd m_stcDescription;
    CWnd m_stcFileStatus;
    CWnd m_stcPercent;
    CCustomProgress m_progress;
    CZULTolpButton m_btnCancel;
    // A drag of the window by its body: set on a left press, cleared on the
    // release or when the capture is lost; every move is computed from the
    // cursor and window positions stored at the press, so the window never drifts.
    BOOL m_bDragging = FALSE;
    CPoint m_ptDragStart; // cursor, screen coordinates
    CRect m_rcDragStart;  // window bounds, screen coordinates
    CHttpMultiFileDown m_downloader;
    CString m_strTempPath; // the temporary folder, trailing backslashes removed
    CString m_strFileName;
    UniqueHFont m_fontNormal; // Tahoma 14, weight 400: every control but the title
    UniqueHFont m_fontBold;   // Tahoma 14, weight 700: the title
    // The worker has been started and the dialog has not yet heard how its
    // transfer ended: a confirmed Cancel then waits for WM_BINARYDOWN_CANCEL;
    // otherwise nothing would ever report, and Cancel ends the dialog itself.
    BOOL m_bTransferRunning = FALSE;
    // The setup file from its check to its start: held, so it cannot change
    // in between; verified before every start, a reused file's included.
    CSetupTrust m_setupTrust;
    // The user's texts read from right to left (Arabic, Hebrew): decided once,
    // from the language that picks them. The file line and every message box
    // with one of those texts then read and align right; the title and the
    // description (English in those tables) do not, and the layout is not
    // mirrored.
    const BOOL m_bRightToLeft;

private:
    // The connectivity gate: probes until the Internet is reachable (TRUE) or
    // the user cancels the Retry/Cancel question (FALSE).
    BOOL PassConnectivityGate();
    // Reuses a present file of the remote size (posts WM_BINARYDOWN_COMPLETE)
    // or queues the download and starts the worker. FALSE when the worker could
    // not be started; the user has been told.
    BOOL ReuseOrStartDownload(const CString& strLocalPath);
    // Shows the "not connected" text with an exclamation mark and ends the
    // dialog with IDCANCEL: the end of every failed transfer.
    void ReportFailureAndEnd();
    // Text 134 with its "#" turned into line breaks.
    static CString NotConnectedText();
    // A message box with one of the user's texts, read and aligned right when
    // they read from right to left. Returns the button pressed.
    int ShowMessage(const CString& strText, UINT nType) const;
    void Compose(PaintBuffer& buffer) const;
    // The minimised window: its icon, centred, over the icon background.
    void DrawMinimizedIcon(HDC hdc);
};
