// SPDX-License-Identifier: MIT
#include "core/Platform.h"

#include <QStringList>
#include <QtGlobal>

#include "cipher/SecureWipe.h"

#if defined(Q_OS_UNIX)
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#endif
#if defined(Q_OS_LINUX)
#include <sys/prctl.h>
#endif

namespace quelvane {

// Not inlined, so its area lies below the caller's frame; as deep as the
// cipher's and the file calls' frames go, a few 64 KiB buffers included.
Q_NEVER_INLINE void ScrubStack() noexcept {
    char area[256 * 1024];
    SecureWipe(area, sizeof area);
}

bool ProtectProcessMemory(QString* error) {
    QStringList failed;
#if defined(Q_OS_UNIX)
    // Hard limit too, so nothing we start can raise it again.
    const struct rlimit none = {0, 0};
    if (::setrlimit(RLIMIT_CORE, &none) != 0)
        failed << QStringLiteral("core files stay allowed (%1)").arg(qt_error_string(errno));
#endif
#if defined(Q_OS_LINUX)
    // Not dumpable: no core file whatever the limit, /proc/<pid>/mem and
    // ptrace closed to the user's other processes.
    if (::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0)
        failed << QStringLiteral("other processes may still attach (%1)").arg(qt_error_string(errno));
#endif
    if (failed.isEmpty()) return true;
    if (error)
        *error = QStringLiteral("Cannot protect the program's memory: %1.").arg(failed.join(QStringLiteral("; ")));
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
