// Adds a certificate authority (DER file) to the machine root store of the Wine prefix it
// runs in: the demo's web server is then trusted there, and nowhere else.
//   trust_authority.exe CA.der
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: trust_authority.exe CA.der\n");
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (der.empty()) {
        std::fprintf(stderr, "trust_authority: cannot read %s\n", argv[1]);
        return 2;
    }
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "ROOT");
    if (!store) {
        std::fprintf(stderr, "trust_authority: cannot open the root store (%lu)\n", GetLastError());
        return 3;
    }
    const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING,
                                                        reinterpret_cast<const BYTE*>(der.data()),
                                                        static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                        nullptr);
    const DWORD error = GetLastError();
    CertCloseStore(store, 0);
    if (!added) {
        std::fprintf(stderr, "trust_authority: cannot add the authority (%lu)\n", error);
        return 4;
    }
    return 0;
}
