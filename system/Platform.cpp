// SPDX-License-Identifier: MIT
#include "system/Platform.h"

#include <QCoreApplication>

#include <QStringList>
#include <QtGlobal>

#include "secret/SecureWipe.h"

#if defined(Q_OS_UNIX)
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#endif
#if defined(Q_OS_LINUX)
#include <sys/prctl.h>
#endif

namespace quelvane {

void ClearVectorRegisters() noexcept {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    // The C library's copies use whatever the processor has: the wide
    // registers of AVX and AVX-512 as well as SSE's.
    if (__builtin_cpu_supports("avx512f"))
        asm volatile(
            "vpxord %%zmm16, %%zmm16, %%zmm16\n vpxord %%zmm17, %%zmm17, %%zmm17\n"
            "vpxord %%zmm18, %%zmm18, %%zmm18\n vpxord %%zmm19, %%zmm19, %%zmm19\n"
            "vpxord %%zmm20, %%zmm20, %%zmm20\n vpxord %%zmm21, %%zmm21, %%zmm21\n"
            "vpxord %%zmm22, %%zmm22, %%zmm22\n vpxord %%zmm23, %%zmm23, %%zmm23\n"
            "vpxord %%zmm24, %%zmm24, %%zmm24\n vpxord %%zmm25, %%zmm25, %%zmm25\n"
            "vpxord %%zmm26, %%zmm26, %%zmm26\n vpxord %%zmm27, %%zmm27, %%zmm27\n"
            "vpxord %%zmm28, %%zmm28, %%zmm28\n vpxord %%zmm29, %%zmm29, %%zmm29\n"
            "vpxord %%zmm30, %%zmm30, %%zmm30\n vpxord %%zmm31, %%zmm31, %%zmm31\n" ::
                : "memory");
    if (__builtin_cpu_supports("avx")) {
        asm volatile("vzeroall" ::
                         : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10",
                           "xmm11", "xmm12", "xmm13", "xmm14", "xmm15", "memory");
    } else {
        asm volatile(
            "pxor %%xmm0, %%xmm0\n pxor %%xmm1, %%xmm1\n pxor %%xmm2, %%xmm2\n pxor %%xmm3, %%xmm3\n"
            "pxor %%xmm4, %%xmm4\n pxor %%xmm5, %%xmm5\n pxor %%xmm6, %%xmm6\n pxor %%xmm7, %%xmm7\n"
            "pxor %%xmm8, %%xmm8\n pxor %%xmm9, %%xmm9\n pxor %%xmm10, %%xmm10\n pxor %%xmm11, %%xmm11\n"
            "pxor %%xmm12, %%xmm12\n pxor %%xmm13, %%xmm13\n pxor %%xmm14, %%xmm14\n pxor %%xmm15, %%xmm15\n" ::
                : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11",
                  "xmm12", "xmm13", "xmm14", "xmm15", "memory");
    }
#endif
}

// Not inlined, so its area lies below the caller's frame; as deep as the
// cipher's and the file calls' frames go, a few 64 KiB buffers included.
// The registers go last, as the wipe itself passes through them.
Q_NEVER_INLINE void ScrubStack() noexcept {
    char area[256 * 1024];
    SecureWipe(area, sizeof area);
    ClearVectorRegisters();
}

bool ProtectProcessMemory(QString* error) {
    QStringList failed;
#if defined(Q_OS_UNIX)
    // Hard limit too, so nothing we start can raise it again.
    const struct rlimit none = {0, 0};
    if (::setrlimit(RLIMIT_CORE, &none) != 0)
        failed << QCoreApplication::translate("quelvane::Platform", "core files stay allowed (%1)")
                      .arg(qt_error_string(errno));
#endif
#if defined(Q_OS_LINUX)
    // Not dumpable: no core file whatever the limit, /proc/<pid>/mem and
    // ptrace closed to the user's other processes.
    if (::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0)
        failed << QCoreApplication::translate("quelvane::Platform", "other processes may still attach (%1)")
                      .arg(qt_error_string(errno));
#endif
    if (failed.isEmpty()) return true;
    if (error)
        *error = QCoreApplication::translate("quelvane::Platform", "Cannot protect the program's memory: %1.")
                     .arg(failed.join(QStringLiteral("; ")));
    return false;
}

#if defined(Q_OS_UNIX)
OwnerOnlyFiles::OwnerOnlyFiles() : previous(::umask(077)) {}
OwnerOnlyFiles::~OwnerOnlyFiles() { ::umask(static_cast<mode_t>(previous)); }
#else
OwnerOnlyFiles::OwnerOnlyFiles() = default;
OwnerOnlyFiles::~OwnerOnlyFiles() = default;
#endif

}  // namespace quelvane
