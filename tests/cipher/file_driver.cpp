// SPDX-License-Identifier: MIT
// Runs one file operation, for checks from outside the process (the order of
// its system calls under strace). Usage: file_driver encrypt|decrypt IN OUT KEY
// Exit status 0 when the output was written, 1 when not, 2 on bad usage.
#include <cstring>

#include "cipher/clsBlowfish.h"

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    clsBlowfish c;
    if (std::strcmp(argv[1], "encrypt") == 0) return c.EncryptFile(argv[2], argv[3], true, argv[4]) ? 0 : 1;
    if (std::strcmp(argv[1], "decrypt") == 0) return c.DecryptFile(argv[2], argv[3], true, argv[4]) ? 0 : 1;
    return 2;
}
