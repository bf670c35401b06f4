// trust_check FILE...: Windows' own Authenticode check of each file, as a browser's code
// download would judge it, printing "trusted" or the failure's code per file. Exit status 0
// when every file is trusted.
// WinVerifyTrust alone is not enough under Wine (it accepts SHA-256 chains that end at an
// untrusted authority): the signer's chain must also have no error and pass the
// Authenticode chain policy, which holds on Windows as well.
#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>

#include <cstdio>
#include <string>

namespace {

LONG CheckFile(const std::wstring& path)
{
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const HWND noWindow = static_cast<HWND>(INVALID_HANDLE_VALUE);
    LONG result = WinVerifyTrust(noWindow, &action, &data);
    if (result == ERROR_SUCCESS) {
        CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData);
        CRYPT_PROVIDER_SGNR* signer = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
        if (!signer || !signer->pChainContext) {
            result = TRUST_E_NOSIGNATURE;
        } else if (signer->pChainContext->TrustStatus.dwErrorStatus != CERT_TRUST_NO_ERROR) {
            result = CERT_E_UNTRUSTEDROOT;
        } else {
            CERT_CHAIN_POLICY_PARA policy = {};
            policy.cbSize = sizeof(policy);
            CERT_CHAIN_POLICY_STATUS status = {};
            status.cbSize = sizeof(status);
            if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, signer->pChainContext, &policy,
                                                  &status))
                result = static_cast<LONG>(GetLastError());
            else if (status.dwError != 0)
                result = static_cast<LONG>(status.dwError);
        }
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(noWindow, &action, &data);
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: trust_check FILE...\n");
        return 2;
    }
    int untrusted = 0;
    for (int i = 1; i < argc; ++i) {
        wchar_t wide[MAX_PATH] = {};
        MultiByteToWideChar(CP_ACP, 0, argv[i], -1, wide, MAX_PATH);
        const LONG result = CheckFile(wide);
        if (result == ERROR_SUCCESS) {
            std::printf("%s: trusted\n", argv[i]);
        } else {
            std::printf("%s: not trusted (0x%08lx)\n", argv[i], static_cast<unsigned long>(result));
            ++untrusted;
        }
    }
    return untrusted == 0 ? 0 : 1;
}
