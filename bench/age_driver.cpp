// SPDX-License-Identifier: MIT
// The age library file to file, for the benchmark until quelvane-cli takes
// --format age. The passphrase is the first line of a file.
//   age_driver encrypt [--no-armor] [--work-factor N] PASSFILE IN OUT
//   age_driver decrypt PASSFILE IN OUT
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "age/FileCipher.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: age_driver encrypt [--no-armor] [--work-factor N] PASSFILE IN OUT\n"
                 "       age_driver decrypt PASSFILE IN OUT\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quelvane::age;
    if (argc < 5) return Usage();
    const std::string mode = argv[1];
    EncryptOptions options;
    int arg = 2;
    for (; arg < argc - 3; ++arg) {
        if (std::strcmp(argv[arg], "--no-armor") == 0)
            options.armor = false;
        else if (std::strcmp(argv[arg], "--work-factor") == 0 && arg + 1 < argc - 3)
            options.workFactor = std::atoi(argv[++arg]);
        else
            return Usage();
    }
    std::string passphrase;
    if (FILE* f = std::fopen(argv[arg], "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF && c != '\n';) passphrase += char(c);
        std::fclose(f);
    } else {
        std::perror(argv[arg]);
        return 1;
    }
    const int in = open(argv[arg + 1], O_RDONLY);
    const int out = open(argv[arg + 2], O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0) {
        std::perror("open");
        return 1;
    }
    Error error;
    bool ok = false;
    if (mode == "encrypt")
        ok = EncryptFile(in, out, options, passphrase, &error);
    else if (mode == "decrypt")
        ok = DecryptFile(in, out, passphrase, &error);
    else
        return Usage();
    if (close(out) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "age_driver: %s\n", error.message.c_str());
        unlink(argv[arg + 2]);
        return 1;
    }
    return 0;
}
