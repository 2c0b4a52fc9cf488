#pragma once
// The check that stands between a file in the temporary folder and an elevated
// start of it: the setup program is started only when it carries a valid
// Authenticode signature by the pinned publisher, whose certificate chain ends
// cleanly in a root this machine trusts. The check runs on a handle held from
// before the check until the process has started, so the file that is started
// is the file that was checked.

#include "framework/CString.h"
#include "framework/Handles.h"
#include "SignerPins.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstddef>
#include <iterator>

// Why a setup file was refused.
enum SetupTrustFailure
{
    SETUP_TRUST_OK = 0,
    SETUP_TRUST_CANNOT_OPEN,     // absent, or could not be held (someone else has it open for writing)
    SETUP_TRUST_NOT_PLAIN_FILE,  // a directory, a reparse point, or one of several hard links
    SETUP_TRUST_BAD_SIGNATURE,   // WinVerifyTrust refused it: unsigned, altered, malformed
    SETUP_TRUST_UNTRUSTED_CHAIN, // the signer's chain does not end cleanly in a trusted root
    SETUP_TRUST_WRONG_SIGNER,    // signed, but not with a pinned key
};

// Name of a failure for the diagnostic line ("UNTRUSTED_CHAIN").
const wchar_t* SetupTrustFailureName(SetupTrustFailure failure);

// The chain-status bits (CERT_TRUST_STATUS::dwErrorStatus) a signer's chain
// may carry and still be trusted: only "revocation could not be learned".
//
// Revocation policy: the whole chain except the root is checked for
// revocation (a root is trusted by being in the store, and names no one who
// could revoke it), with the system's cached answers used first and the
// network only when none is cached. A certificate found revoked is refused
// (CERT_TRUST_IS_REVOKED is never tolerated). When no answer can be had, the
// file is accepted on the rest of the check: CERT_TRUST_REVOCATION_STATUS_UNKNOWN
// and CERT_TRUST_IS_OFFLINE_REVOCATION are tolerated. Failing then would turn
// every unreachable revocation server (a captive portal, a proxy that blocks
// it, a certificate that names none) into a failed installation, while anyone
// able to block that server can block the download as well; the pin keeps the
// exposure to one publisher's keys, and a compromised key leaves the pin list
// at the next release.
//
// Every other bit refuses the chain: among them an untrusted root
// (CERT_TRUST_IS_UNTRUSTED_ROOT) and a chain that does not reach a root
// (CERT_TRUST_IS_PARTIAL_CHAIN), which WinVerifyTrust itself does not refuse
// on every platform, a time-invalid, cyclic or badly signed certificate, and
// one not valid for code signing.
constexpr DWORD TOLERATED_CHAIN_ERRORS = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
BOOL IsChainStatusTrusted(DWORD dwErrorStatus);

// TRUE when the SHA-256 of the DER encoding of info is one of the nPins pins.
BOOL IsPinnedKey(const CERT_PUBLIC_KEY_INFO& info, const SignerPin* pPins, size_t nPins);

// One setup file, checked and held. Runs on the main thread.
class CSetupTrust
{
public:
    // The pins the signer's key must match: the build's by default; a test
    // names its own. pPins must outlive this object.
    explicit CSetupTrust(const SignerPin* pPins = SIGNER_PINS, size_t nPins = std::size(SIGNER_PINS));

    // Opens strPath, holds it and checks it. TRUE when it may be started; the
    // file then stays held until Release, Launch or the destructor. FALSE with
    // GetFailure and GetFailureCode telling why; the file stays held when it
    // could be opened, so DeleteHeld can remove it.
    BOOL Verify(const CString& strPath);

    // Starts the verified file (RunProgram) while it is still held, then lets
    // it go. Returns what RunProgram returns; -1 when nothing verified is held.
    int Launch(DWORD& dwProcessId, int& nStatus);

    // Deletes the held file through its handle and lets it go; FALSE when no
    // file is held or the system refuses.
    BOOL DeleteHeld();

    void Release() noexcept;

    BOOL IsHeld() const noexcept { return static_cast<bool>(m_hFile); }
    BOOL IsVerified() const noexcept { return IsHeld() && m_failure == SETUP_TRUST_OK; }
    SetupTrustFailure GetFailure() const noexcept { return m_failure; }
    // The code behind the failure: the system's error for CANNOT_OPEN and
    // NOT_PLAIN_FILE, WinVerifyTrust's result for BAD_SIGNATURE, the chain's
    // error status for UNTRUSTED_CHAIN, 0 for WRONG_SIGNER.
    DWORD GetFailureCode() const noexcept { return m_dwFailureCode; }
    // One diagnostic line: "Setup file not verified: <name>, code 0x<code> \r\n".
    CString DescribeFailure() const;
    HANDLE GetHandle() const noexcept { return m_hFile.get(); }

private:
    BOOL Fail(SetupTrustFailure failure, DWORD dwCode);
    BOOL CheckSignature();

    const SignerPin* m_pPins;
    size_t m_nPins;
    CString m_strPath;
    UniqueFile m_hFile;
    SetupTrustFailure m_failure = SETUP_TRUST_CANNOT_OPEN;
    DWORD m_dwFailureCode = ERROR_FILE_NOT_FOUND;
};
