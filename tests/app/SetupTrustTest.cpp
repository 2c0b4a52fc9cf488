// The trust check on real Authenticode signatures: the stand-in setup signed on
// the build host by the development certificates (tools/standin-setup), checked
// by the platform's WinVerifyTrust in a prefix that trusts the development CA.
#include "app/SetupTrust.h"

#include "net/LinkPlanting.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::wstring Fixture(const wchar_t* pszName)
{
    return BuildFolder() + L"\\tools\\standin-setup\\" + pszName;
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs a command line in another process (cmd.exe) and waits for it: the
// attacker is any other program of the same user.
void RunElsewhere(const std::wstring& commandLine)
{
    std::wstring line = L"cmd.exe /c " + commandLine;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                                 &si, &pi));
    EXPECT_EQ(::WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
}

// A folder of the test's own, where links can be planted, removed afterwards.
class SetupTrustFolder : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.Make(L"setup-trust-test"));
        m_strRoot = m_folder.Path();
        m_strSetup = m_strRoot + L"\\Tavo_Real_Setup.exe";
        ASSERT_TRUE(Exists(Fixture(L"standin-signed.exe"))) << "build the standin-signed target first";
    }

    void TearDown() override { m_folder.Remove(); }

    void Place(const wchar_t* pszFixture, const std::wstring& path)
    {
        ASSERT_TRUE(::CopyFileW(Fixture(pszFixture).c_str(), path.c_str(), FALSE));
    }

    PlantingFolder m_folder;
    std::wstring m_strRoot, m_strSetup;
};

// ---- Signatures -------------------------------------------------------------------

struct SignatureCase
{
    const char* pszName;
    const wchar_t* pszFixture;
    SetupTrustFailure expected;
};

class SetupTrustSignature : public SetupTrustFolder, public testing::WithParamInterface<SignatureCase>
{
};

TEST_P(SetupTrustSignature, AcceptsOnlyThePinnedSignerUnderATrustedRoot)
{
    Place(GetParam().pszFixture, m_strSetup);
    CSetupTrust trust;
    EXPECT_EQ(trust.Verify(m_strSetup.c_str()), GetParam().expected == SETUP_TRUST_OK);
    EXPECT_EQ(trust.GetFailure(), GetParam().expected)
        << "got " << testing::PrintToString(std::wstring(SetupTrustFailureName(trust.GetFailure()))) << ", code 0x"
        << std::hex << trust.GetFailureCode();
    // Accepted or not, the file is held until it is started or deleted.
    EXPECT_TRUE(trust.IsHeld());
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, SetupTrustSignature,
    testing::Values(SignatureCase{"signed", L"standin-signed.exe", SETUP_TRUST_OK},
                    SignatureCase{"unsigned", L"standin-setup.exe", SETUP_TRUST_BAD_SIGNATURE},
                    SignatureCase{"altered", L"standin-altered.exe", SETUP_TRUST_BAD_SIGNATURE},
                    // Same subject and CA names, another key, trusted CA: only the pin refuses it.
                    SignatureCase{"impostor", L"standin-impostor.exe", SETUP_TRUST_WRONG_SIGNER},
                    // The pinned key under a CA nobody trusts: only the chain refuses it.
                    SignatureCase{"untrusted_root", L"standin-untrusted.exe", SETUP_TRUST_UNTRUSTED_CHAIN},
                    SignatureCase{"partial_chain", L"standin-partial.exe", SETUP_TRUST_UNTRUSTED_CHAIN}),
    [](const testing::TestParamInfo<SignatureCase>& info) { return std::string(info.param.pszName); });

// Each key generation of the publisher is one pin; any of them is accepted,
// none other is.
TEST_F(SetupTrustFolder, PinListDecidesWhichKeyIsAccepted)
{
    Place(L"standin-signed.exe", m_strSetup);
    const SignerPin other{{0x01, 0x02, 0x03}};
    const SignerPin rotated[] = {other, SIGNER_PINS[0]};
    CSetupTrust withRotation(rotated, 2);
    EXPECT_TRUE(withRotation.Verify(m_strSetup.c_str()));
    withRotation.Release();

    CSetupTrust withoutIt(&other, 1);
    EXPECT_FALSE(withoutIt.Verify(m_strSetup.c_str()));
    EXPECT_EQ(withoutIt.GetFailure(), SETUP_TRUST_WRONG_SIGNER);
}

// ---- The held file --------------------------------------------------------------------

// What another process tries on the held file, and how to tell it worked.
struct AttackCase
{
    const char* pszName;
    const wchar_t* pszCommand; // %s stands for the setup's path
};

class SetupTrustHeld : public SetupTrustFolder, public testing::WithParamInterface<AttackCase>
{
protected:
    void Attack()
    {
        std::wstring command = GetParam().pszCommand;
        for (size_t at; (at = command.find(L"%s")) != std::wstring::npos;)
            command.replace(at, 2, m_strSetup);
        RunElsewhere(command);
    }
};

TEST_P(SetupTrustHeld, AnotherProcessCannotChangeTheFileUntilItIsReleased)
{
    Place(L"standin-signed.exe", m_strSetup);
    const std::string original = ReadAll(m_strSetup);
    CSetupTrust trust;
    ASSERT_TRUE(trust.Verify(m_strSetup.c_str()));

    Attack();
    EXPECT_EQ(ReadAll(m_strSetup), original) << "changed while held";

    // The control: the same attack on the same file, no longer held, works.
    trust.Release();
    Attack();
    EXPECT_NE(ReadAll(m_strSetup), original) << "the attack does not work even on a free file";
}

INSTANTIATE_TEST_SUITE_P(
    Attacks, SetupTrustHeld,
    testing::Values(AttackCase{"write", L"\"echo planted>>\"%s\"\""},
                    AttackCase{"rename", L"\"move /y \"%s\" \"%s.moved\"\""},
                    AttackCase{"delete", L"\"del /f /q \"%s\"\""}),
    [](const testing::TestParamInfo<AttackCase>& info) { return std::string(info.param.pszName); });

TEST_F(SetupTrustFolder, HardLinkIsRefusedAndItsOtherNameKept)
{
    Place(L"standin-signed.exe", m_strSetup);
    const std::wstring other = m_strRoot + L"\\elsewhere.exe";
    ASSERT_TRUE(::CreateHardLinkW(other.c_str(), m_strSetup.c_str(), nullptr));

    CSetupTrust trust;
    EXPECT_FALSE(trust.Verify(m_strSetup.c_str()));
    EXPECT_EQ(trust.GetFailure(), SETUP_TRUST_NOT_PLAIN_FILE);
    // Deleting the refused entry removes this name only.
    EXPECT_TRUE(trust.DeleteHeld());
    EXPECT_FALSE(Exists(m_strSetup));
    EXPECT_TRUE(Exists(other));

    // The control: the same signed file with one name is accepted.
    ASSERT_TRUE(::MoveFileW(other.c_str(), m_strSetup.c_str()));
    EXPECT_TRUE(trust.Verify(m_strSetup.c_str()));
}

TEST_F(SetupTrustFolder, SymbolicLinkIsRefusedAndOnlyTheLinkRemoved)
{
    const std::wstring target = m_strRoot + L"\\elsewhere.exe";
    Place(L"standin-signed.exe", target);
    if (!PlantSymlink(m_strSetup, target))
        GTEST_SKIP() << "no symbolic links here";

    CSetupTrust trust;
    EXPECT_FALSE(trust.Verify(m_strSetup.c_str()));
    EXPECT_EQ(trust.GetFailure(), SETUP_TRUST_NOT_PLAIN_FILE);
    // The link goes where the platform shows it for what it is (Windows);
    // where every open follows it (Wine), it stays. The target stays always.
    const bool bVisible = LinksAreVisible(m_strSetup);
    EXPECT_EQ(trust.DeleteHeld(), bVisible);
    EXPECT_FALSE(trust.IsHeld());
    EXPECT_EQ(::GetFileAttributesW(m_strSetup.c_str()) == INVALID_FILE_ATTRIBUTES, bVisible);
    EXPECT_TRUE(Exists(target)) << "the link's target was deleted";

    // The control: the same signed file, by its own name, is accepted.
    EXPECT_TRUE(trust.Verify(target.c_str()));
}

TEST_F(SetupTrustFolder, DirectoryOrNothingAtThePathIsRefused)
{
    CSetupTrust trust;
    EXPECT_FALSE(trust.Verify(m_strSetup.c_str()));
    EXPECT_EQ(trust.GetFailure(), SETUP_TRUST_CANNOT_OPEN);
    EXPECT_EQ(trust.GetFailureCode(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(trust.IsHeld());

    ASSERT_TRUE(::CreateDirectoryW(m_strSetup.c_str(), nullptr));
    EXPECT_FALSE(trust.Verify(m_strSetup.c_str()));
    EXPECT_NE(trust.GetFailure(), SETUP_TRUST_OK);
    EXPECT_FALSE(trust.DeleteHeld());
    EXPECT_TRUE(Exists(m_strSetup)) << "a directory at the path was removed";
}

TEST_F(SetupTrustFolder, RefusedFileIsDeletedThroughItsHandle)
{
    Place(L"standin-setup.exe", m_strSetup);
    CSetupTrust trust;
    ASSERT_FALSE(trust.Verify(m_strSetup.c_str()));
    EXPECT_TRUE(trust.DeleteHeld());
    EXPECT_FALSE(trust.IsHeld());
    EXPECT_FALSE(Exists(m_strSetup));
    EXPECT_EQ(trust.DescribeFailure(), CString(L"Setup file not verified: BAD_SIGNATURE, code 0x800B0100 \r\n"));
}

// CreateProcessW opens the image while the verifier's handle (read and delete
// access, others may only read) is still open: the start must not be refused.
TEST_F(SetupTrustFolder, LaunchStartsTheHeldFileThenLetsItGo)
{
    Place(L"standin-signed.exe", m_strSetup);
    const std::wstring marker = m_strRoot + L"\\marker.txt";
    ::SetEnvironmentVariableW(L"QUILMER_STANDIN_MARKER", marker.c_str());
    CSetupTrust trust;
    ASSERT_TRUE(trust.Verify(m_strSetup.c_str()));
    DWORD dwProcessId = 0;
    int nStatus = 1;
    EXPECT_EQ(trust.Launch(dwProcessId, nStatus), 0);
    EXPECT_EQ(nStatus, 0);
    EXPECT_FALSE(trust.IsHeld());
    ::SetEnvironmentVariableW(L"QUILMER_STANDIN_MARKER", nullptr);
    std::string text;
    for (int i = 0; i < 300 && text.empty(); ++i, ::Sleep(50))
        text = ReadAll(marker);
    EXPECT_NE(text.find("module="), std::string::npos) << "the stand-in did not run";
    // A refused file is never started.
    Place(L"standin-impostor.exe", m_strRoot + L"\\impostor.exe");
    ASSERT_FALSE(trust.Verify((m_strRoot + L"\\impostor.exe").c_str()));
    EXPECT_EQ(trust.Launch(dwProcessId, nStatus), -1);
}

// ---- The chain-status rule ------------------------------------------------------------

struct ChainStatusCase
{
    const char* pszName;
    DWORD dwErrorStatus;
    BOOL bTrusted;
};

class ChainStatusRule : public testing::TestWithParam<ChainStatusCase>
{
};

TEST_P(ChainStatusRule, OnlyUnknownRevocationIsTolerated)
{
    EXPECT_EQ(IsChainStatusTrusted(GetParam().dwErrorStatus), GetParam().bTrusted);
}

INSTANTIATE_TEST_SUITE_P(
    Bits, ChainStatusRule,
    testing::Values(
        ChainStatusCase{"clean", CERT_TRUST_NO_ERROR, TRUE},
        ChainStatusCase{"revocation_unknown", CERT_TRUST_REVOCATION_STATUS_UNKNOWN, TRUE},
        ChainStatusCase{"revocation_offline",
                        CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION, TRUE},
        ChainStatusCase{"untrusted_root", CERT_TRUST_IS_UNTRUSTED_ROOT, FALSE},
        ChainStatusCase{"partial_chain", CERT_TRUST_IS_PARTIAL_CHAIN, FALSE},
        ChainStatusCase{"revoked", CERT_TRUST_IS_REVOKED, FALSE},
        ChainStatusCase{"revoked_and_offline", CERT_TRUST_IS_REVOKED | CERT_TRUST_IS_OFFLINE_REVOCATION, FALSE},
        ChainStatusCase{"not_time_valid", CERT_TRUST_IS_NOT_TIME_VALID, FALSE},
        ChainStatusCase{"bad_signature", CERT_TRUST_IS_NOT_SIGNATURE_VALID, FALSE},
        ChainStatusCase{"wrong_usage", CERT_TRUST_IS_NOT_VALID_FOR_USAGE, FALSE},
        ChainStatusCase{"cyclic", CERT_TRUST_IS_CYCLIC, FALSE},
        ChainStatusCase{"basic_constraints", CERT_TRUST_INVALID_BASIC_CONSTRAINTS, FALSE},
        ChainStatusCase{"explicit_distrust", CERT_TRUST_IS_EXPLICIT_DISTRUST, FALSE},
        ChainStatusCase{"untrusted_root_with_unknown_revocation",
                        CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_REVOCATION_STATUS_UNKNOWN, FALSE}),
    [](const testing::TestParamInfo<ChainStatusCase>& info) { return std::string(info.param.pszName); });

} // namespace
