#pragma once
// The window messages with which the downloader reports to its windows, and the
// two the installer dialog posts to itself. Plain numbers above WM_USER, not
// registered messages.
//
// | Message                | Sent/posted | To              | wParam      | When                                   |
// |------------------------|-------------|-----------------|-------------|----------------------------------------|
// | PBM_SETPOS (1026)      | sent        | progress window | percentage  | after each chunk written to the file   |
// | WM_DOWNLOAD_PROGRESS   | sent        | notify window   | percentage  | right after that PBM_SETPOS            |
// | WM_DOWNLOAD_START      | sent        | notify window   | 0           | once per job, before the first read    |
// | WM_XMLDOWN_COMPLETE    | sent        | notify window   | 0           | last job done, kind DOWN_TYPE_XML      |
// | WM_BINARYDOWN_COMPLETE | posted      | notify window   | 0           | last job done, kind DOWN_TYPE_BINARY;  |
// |                        |             |                 |             | also posted by the dialog to itself    |
// | WM_XMLDOWN_ERROR       | sent        | notify window   | 0           | job failed, status not 404, XML        |
// | WM_BINARYDOWN_ERROR    | sent        | notify window   | 0           | job failed, status not 404, binary,    |
// |                        |             |                 |             | cancel flag clear                      |
// | WM_BINARYDOWN_CANCEL   | sent        | notify window   | 0           | as above with the cancel flag set      |
// | WM_CONNECTION_ERROR    | sent        | notify window   | 0           | job failed, last HTTP status 404       |
// | WM_END_DIALOG          | posted      | the dialog      | IDOK/IDCANCEL | the dialog ends itself               |
//
// lParam is 0 throughout. The percentage is (bytes received × 100) ÷ announced
// length, unsigned 64-bit, rounded down; 0 while the length is unknown.
// Sent messages make the worker wait until the receiving thread has handled
// them; only the completion of a binary download is posted, so the worker does
// not wait while the dialog starts the setup.

#include <windows.h>

constexpr UINT WM_END_DIALOG = 2025;
constexpr UINT WM_XMLDOWN_COMPLETE = 2029;
constexpr UINT WM_BINARYDOWN_COMPLETE = 2030;
constexpr UINT WM_XMLDOWN_ERROR = 2031;
constexpr UINT WM_BINARYDOWN_ERROR = 2032;
constexpr UINT WM_BINARYDOWN_CANCEL = 2033;
constexpr UINT WM_DOWNLOAD_PROGRESS = 3031;
constexpr UINT WM_CONNECTION_ERROR = 3032;
constexpr UINT WM_DOWNLOAD_START = 3033;

// Download kinds (CHttpMultiFileDown::m_nDownType).
constexpr int DOWN_TYPE_XML = 0;
constexpr int DOWN_TYPE_BINARY = 1;
