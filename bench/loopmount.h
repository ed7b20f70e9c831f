// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

// A file system of the type made in a sparse image in folder and
// loop-mounted on a folder beside it; unmounted and removed again. Where the
// system gives a mount namespace of our own, the mount also goes should the
// run die. Takes root; without it, or without the type's mkfs, Mounted() is
// false and Reason() says why.
class LoopMount {
public:
    LoopMount(const std::filesystem::path& folder, const std::string& type, std::int64_t imageBytes,
              const std::vector<std::string>& mkfsOptions);
    ~LoopMount();
    LoopMount(const LoopMount&) = delete;
    LoopMount& operator=(const LoopMount&) = delete;

    bool Mounted() const { return mounted_; }
    const std::filesystem::path& Path() const { return path_; }
    const std::string& Reason() const { return reason_; }

    // Writes out all the file system holds, its journal included (a freeze
    // and a thaw), so that no writeback of what was made so far runs during
    // a measurement; where nothing was mounted, syncs every file system.
    void Settle() const;

private:
    std::filesystem::path image_;
    std::filesystem::path path_;
    bool mounted_ = false;
    std::string reason_;
};

} // namespace bench
