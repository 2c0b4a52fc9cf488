// trust-root <certificate.der>: adds a DER-encoded certificate to the
// LocalMachine ROOT store, so chains that end in it count as trusted on this
// machine (or Wine prefix). Replaces an equal certificate already there, so it
// can run again. Exit code 0 on success, 1 with a line on stderr otherwise.
// Needs the right to write the machine's stores (an administrator; any user of
// a Wine prefix).

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

namespace {

int Fail(const char* what)
{
    std::fprintf(stderr, "trust-root: %s (error %lu)\n", what, ::GetLastError());
    return 1;
}

bool ReadWhole(const wchar_t* path, std::vector<BYTE>& bytes)
{
    const HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size{};
    bool ok = ::GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1 << 20);
    DWORD read = 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        ok = ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
             read == bytes.size();
    }
    ::CloseHandle(file);
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: trust-root <certificate.der>\n");
        return 2;
    }
    std::vector<BYTE> der;
    if (!ReadWhole(argv[1], der))
        return Fail("cannot read the certificate");

    const HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                             CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
    if (!store)
        return Fail("cannot open the LocalMachine ROOT store");
    const BOOL added = ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                                          static_cast<DWORD>(der.size()),
                                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    const int rc = added ? 0 : Fail("cannot add the certificate");
    ::CertCloseStore(store, 0);
    return rc;
}
