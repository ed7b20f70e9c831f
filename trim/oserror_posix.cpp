// SPDX-License-Identifier: MIT
#include "oserror.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace kst {
namespace {

#define KST_ERRNO(name)                                                                            \
    std::pair<int, const char*> {                                                                  \
        name, #name                                                                                \
    }

// The codes file work meets; any other is named by its number.
constexpr std::array kNames{
    KST_ERRNO(EACCES), KST_ERRNO(EAGAIN),       KST_ERRNO(EBADF),  KST_ERRNO(EBUSY),
    KST_ERRNO(EDQUOT), KST_ERRNO(EEXIST),       KST_ERRNO(EFBIG),  KST_ERRNO(EINTR),
    KST_ERRNO(EINVAL), KST_ERRNO(EIO),          KST_ERRNO(EISDIR), KST_ERRNO(ELOOP),
    KST_ERRNO(EMFILE), KST_ERRNO(ENAMETOOLONG), KST_ERRNO(ENFILE), KST_ERRNO(ENODEV),
    KST_ERRNO(ENOENT), KST_ERRNO(ENOMEM),       KST_ERRNO(ENOSPC), KST_ERRNO(ENOTDIR),
    KST_ERRNO(ENXIO),  KST_ERRNO(EPERM),        KST_ERRNO(EROFS),  KST_ERRNO(ETXTBSY),
    KST_ERRNO(EXDEV),  KST_ERRNO(EOVERFLOW),    KST_ERRNO(ESTALE), KST_ERRNO(EOPNOTSUPP),
};

#undef KST_ERRNO

} // namespace

// flock() refuses with EWOULDBLOCK, which is EAGAIN wherever both exist.
bool IsHeldElsewhere(OsErrorCode code) {
    return code == EWOULDBLOCK || code == EAGAIN;
}

std::string OsErrorName(OsErrorCode code) {
    if (code == 0) {
        return {};
    }
    if (code == EWOULDBLOCK) {
        return "EWOULDBLOCK";
    }
    for (const auto& [value, name] : kNames) {
        if (value == code) {
            return name;
        }
    }
    return "errno_" + std::to_string(code);
}

std::string OsErrorText(OsErrorCode code) {
    if (code == 0) {
        return {};
    }
    if (IsHeldElsewhere(code)) {
        return "in use by another process"; // the lock's refusal, not a passing shortage
    }
    return std::strerror(code);
}

} // namespace kst
