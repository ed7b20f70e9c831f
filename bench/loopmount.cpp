// SPDX-License-Identifier: MIT
#include "loopmount.h"

#include "process.h"
#include "scratch.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace bench {

namespace fs = std::filesystem;

LoopMount::LoopMount(const fs::path& folder, const std::string& type, std::int64_t imageBytes,
                     const std::vector<std::string>& mkfsOptions)
    : image_(folder / (type + ".img")), path_(folder / type) {
    if (::geteuid() != 0) {
        reason_ = "mounting takes root";
        return;
    }
    if (::unshare(CLONE_NEWNS) == 0) {
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    }
    fs::create_directory(path_);
    {
        const Fd image(image_, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC);
        if (::ftruncate(image.Get(), static_cast<off_t>(imageBytes)) != 0) {
            reason_ = "cannot size the image";
            return;
        }
    }
    std::vector<std::string> mkfs{"mkfs." + type};
    mkfs.insert(mkfs.end(), mkfsOptions.begin(), mkfsOptions.end());
    mkfs.push_back(image_.string());
    if (RunProcess(mkfs).status != 0) {
        reason_ = "mkfs." + type + " failed or is missing";
    } else if (RunProcess({"mount", "-o", "loop", image_.string(), path_.string()}).status != 0) {
        reason_ = "cannot loop-mount " + type + " here";
    } else {
        mounted_ = true;
    }
}

LoopMount::~LoopMount() {
    if (mounted_) {
        RunProcess({"umount", path_.string()});
    }
    std::error_code ignored;
    fs::remove(image_, ignored);
    fs::remove(path_, ignored);
}

void LoopMount::Settle() const {
    ::sync();
    if (!mounted_) {
        return;
    }
    const Fd root(path_, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (::ioctl(root.Get(), FIFREEZE, 0) == 0) {
        ::ioctl(root.Get(), FITHAW, 0);
    }
}

} // namespace bench
