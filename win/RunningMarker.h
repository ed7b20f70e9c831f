// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace kst::win {

// The named mutex that every running kestrune.exe holds, so that the
// installer and the uninstaller can tell that the program's files are in use.
// In the global namespace: they replace files of a per-machine install, which
// a copy running in another user's session holds open just the same.
// packaging/windows/kestrune.nsi reads the name from this line.
inline constexpr wchar_t kRunningMutexName[] = L"Global\\Kestrune.Running";

// Holds the mutex for as long as it lives. Several copies may run: each
// holds the same mutex, which stays until the last one ends. Where the name
// cannot be had (a copy in another session made it with its own rights),
// that copy's mutex already tells the same.
class RunningMarker {
public:
    RunningMarker();
    ~RunningMarker();
    RunningMarker(const RunningMarker&) = delete;
    RunningMarker& operator=(const RunningMarker&) = delete;

private:
    HANDLE mutex_;
};

} // namespace kst::win
