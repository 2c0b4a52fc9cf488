#include "app/SetupTrust.h"

#include "app/SetupFile.h"
#include "net/LocalFile.h"

#include <softpub.h>

#include <algorithm>
#include <vector>

namespace {

// SHA-256 of bytes into digest; FALSE when the system cannot hash.
BOOL Sha256(const BYTE* pbData, DWORD cbData, SignerPin& digest)
{
    UniqueBCryptAlgorithm hAlgorithm;
    UniqueBCryptHash hHash;
    return BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(hAlgorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
           BCRYPT_SUCCESS(::BCryptCreateHash(hAlgorithm.get(), hHash.put(), nullptr, 0, nullptr, 0, 0)) &&
           BCRYPT_SUCCESS(::BCryptHashData(hHash.get(), const_cast<BYTE*>(pbData), cbData, 0)) &&
           BCRYPT_SUCCESS(::BCryptFinishHash(hHash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
}

// WinVerifyTrust results that say only that revocation could not be learned;
// the chain's own status then decides (IsChainStatusTrusted).
bool IsRevocationUnknownResult(LONG lStatus)
{
    return lStatus == CRYPT_E_NO_REVOCATION_CHECK || lStatus == CRYPT_E_REVOCATION_OFFLINE ||
           lStatus == CERT_E_REVOCATION_FAILURE;
}

} // namespace

const wchar_t* SetupTrustFailureName(SetupTrustFailure failure)
{
    switch (failure) {
    case SETUP_TRUST_OK:
        return L"OK";
    case SETUP_TRUST_CANNOT_OPEN:
        return L"CANNOT_OPEN";
    case SETUP_TRUST_NOT_PLAIN_FILE:
        return L"NOT_PLAIN_FILE";
    case SETUP_TRUST_BAD_SIGNATURE:
        return L"BAD_SIGNATURE";
    case SETUP_TRUST_UNTRUSTED_CHAIN:
        return L"UNTRUSTED_CHAIN";
    case SETUP_TRUST_WRONG_SIGNER:
        return L"WRONG_SIGNER";
    }
    return L"UNKNOWN";
}

BOOL IsChainStatusTrusted(DWORD dwErrorStatus)
{
    return (dwErrorStatus & ~TOLERATED_CHAIN_ERRORS) == 0;
}

BOOL IsPinnedKey(const CERT_PUBLIC_KEY_INFO& info, const SignerPin* pPins, size_t nPins)
{
    // The certificate holds the key decoded; the pin is of its DER encoding,
    // as openssl prints it from the certificate.
    DWORD cbEncoded = 0;
    if (!::CryptEncodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, &info, nullptr, &cbEncoded))
        return FALSE;
    std::vector<BYTE> encoded(cbEncoded);
    if (!::CryptEncodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, &info, encoded.data(), &cbEncoded))
        return FALSE;
    SignerPin digest{};
    if (!Sha256(encoded.data(), cbEncoded, digest))
        return FALSE;
    return std::find(pPins, pPins + nPins, digest) != pPins + nPins;
}

CSetupTrust::CSetupTrust(const SignerPin* pPins, size_t nPins) : m_pPins(pPins), m_nPins(nPins)
{
}

BOOL CSetupTrust::Fail(SetupTrustFailure failure, DWORD dwCode)
{
    m_failure = failure;
    m_dwFailureCode = dwCode;
    return FALSE;
}

BOOL CSetupTrust::Verify(const CString& strPath)
{
    Release();
    m_strPath = strPath;
    DWORD dwError = ERROR_SUCCESS;
    m_hFile = OpenEntryHeld(strPath, dwError);
    if (!m_hFile)
        return Fail(SETUP_TRUST_CANNOT_OPEN, dwError);
    if (!IsPlainFile(m_hFile.get(), strPath, dwError))
        return Fail(SETUP_TRUST_NOT_PLAIN_FILE, dwError);
    return CheckSignature();
}

BOOL CSetupTrust::CheckSignature()
{
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = m_strPath;
    file.hFile = m_hFile.get(); // the signature is read from the held file, not from the path

    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    data.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY; // keep the provider data to read the chain
    data.dwUIContext = WTD_UICONTEXT_EXECUTE;

    const LONG lStatus = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    const UniqueWinTrustState state(data.hWVTStateData);
    if (lStatus != ERROR_SUCCESS && !IsRevocationUnknownResult(lStatus))
        return Fail(SETUP_TRUST_BAD_SIGNATURE, static_cast<DWORD>(lStatus));

    // WinVerifyTrust's verdict is not the whole answer: some platforms accept
    // a chain that ends in an untrusted root or in no root at all. The chain
    // it built for the signer is read here and judged by the rule above.
    CRYPT_PROVIDER_DATA* pProvider = state ? ::WTHelperProvDataFromStateData(state.get()) : nullptr;
    CRYPT_PROVIDER_SGNR* pSigner = pProvider ? ::WTHelperGetProvSignerFromChain(pProvider, 0, FALSE, 0) : nullptr;
    const CERT_CHAIN_CONTEXT* pChain = pSigner ? pSigner->pChainContext : nullptr;
    if (!pChain || pChain->cChain == 0 || pChain->rgpChain[0]->cElement == 0)
        return Fail(SETUP_TRUST_UNTRUSTED_CHAIN, CERT_TRUST_IS_PARTIAL_CHAIN);
    const DWORD dwChainErrors = pChain->TrustStatus.dwErrorStatus;
    if (!IsChainStatusTrusted(dwChainErrors))
        return Fail(SETUP_TRUST_UNTRUSTED_CHAIN, dwChainErrors);
    // A revocation result with a chain that reports no revocation trouble:
    // the two disagree, and the refusal stands.
    if (lStatus != ERROR_SUCCESS && (dwChainErrors & TOLERATED_CHAIN_ERRORS) == 0)
        return Fail(SETUP_TRUST_BAD_SIGNATURE, static_cast<DWORD>(lStatus));

    const CERT_CONTEXT* pLeaf = pChain->rgpChain[0]->rgpElement[0]->pCertContext;
    if (!pLeaf || !IsPinnedKey(pLeaf->pCertInfo->SubjectPublicKeyInfo, m_pPins, m_nPins))
        return Fail(SETUP_TRUST_WRONG_SIGNER, 0);

    m_failure = SETUP_TRUST_OK;
    m_dwFailureCode = 0;
    return TRUE;
}

int CSetupTrust::Launch(DWORD& dwProcessId, int& nStatus)
{
    if (!IsVerified()) {
        nStatus = -1;
        return -1;
    }
    // The handle, which lets others only read, is held across CreateProcessW:
    // the file cannot be changed, renamed or deleted before the new process
    // has mapped it.
    const int nResult = RunProgram(m_strPath, dwProcessId, nStatus);
    Release();
    return nResult;
}

BOOL CSetupTrust::DeleteHeld()
{
    if (!IsHeld())
        return FALSE;
    // A file that is what the path names goes through the handle, so nothing
    // put in its place meanwhile is touched. Anything else held (a link, or
    // what a link leads to) is let go, and only the entry at the path, the
    // link itself, is removed.
    if (m_failure != SETUP_TRUST_NOT_PLAIN_FILE) {
        const BOOL bDeleted = DeleteThroughHandle(m_hFile.get());
        Release();
        return bDeleted;
    }
    Release();
    return RemoveEntry(m_strPath);
}

void CSetupTrust::Release() noexcept
{
    m_hFile.reset();
}

CString CSetupTrust::DescribeFailure() const
{
    CString strLine;
    strLine.Format(L"Setup file not verified: %s, code 0x%08lX \r\n", SetupTrustFailureName(m_failure),
                   m_dwFailureCode);
    return strLine;
}
