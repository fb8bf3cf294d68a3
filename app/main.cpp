// Placeholder until the window lands: encrypts and decrypts one text.
#include <cstdio>

#include "clsBlowfish.h"

int main() {
    clsBlowfish cipher;
    std::string hex = cipher.EncryptString("Hello from Quelvane", "password", true);
    std::printf("%s\n", hex.c_str());
    std::printf("%s\n", cipher.DecryptString(hex, "password", true).c_str());
    return 0;
}
