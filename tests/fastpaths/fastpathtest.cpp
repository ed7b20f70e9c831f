// SPDX-License-Identifier: MIT
#include "fastpathtest.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sched.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

bool PunchHole(const std::filesystem::path& path, std::int64_t from, std::int64_t to) {
    const int fd = ::open(path.c_str(), O_WRONLY);
    const bool ok = fd >= 0 && ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, from,
                                           to - from) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return ok;
}

bool HasHoles(const std::filesystem::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_blocks * 512 < st.st_size;
}

std::int64_t BytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::int64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") {
            return value;
        }
    }
    throw std::runtime_error("no rchar in /proc/self/io");
}

JobRecord FastPathTest::RunRecorded(const std::filesystem::path& output) {
    const RecordingHost setup = host;
    host = RecordingHost{};
    host.texts = setup.texts;
    host.place = setup.place;
    host.Tick(kst::Option::TrimLeading);
    host.Tick(kst::Option::WritePad);
    host.texts[kst::Field::PadText] = "3";
    host.onYield = [this](int) { host.events.push_back("yield"); };
    std::filesystem::remove(output);
    const kst::JobResult result = Run();
    JobRecord record{
        host.events, result.frontRun, result.tailRun, std::filesystem::exists(output), {}};
    if (record.wrote) {
        record.output = ReadAll(output);
    }
    return record;
}

LoopMount::LoopMount(const std::string& type) {
    const std::filesystem::path image = dir_.Path() / "fs.img";
    const std::filesystem::path folder = dir_.Path() / "mnt";
    std::filesystem::create_directory(folder);
    std::filesystem::resize_file(dir_.Write("fs.img", {}), std::int64_t{512} << 20);
    const std::string quiet = " >/dev/null 2>&1";
    if (::geteuid() != 0) {
        reason_ = "mounting takes root";
    } else if (::unshare(CLONE_NEWNS) != 0 ||
               ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        reason_ = "no mount namespace of our own";
    } else if (std::system(("mkfs." + type + " -q -f " + image.string() + quiet).c_str()) != 0) {
        reason_ = "mkfs." + type + " failed or is missing";
    } else if (std::system(
                   ("mount -o loop " + image.string() + " " + folder.string() + quiet).c_str()) !=
               0) {
        reason_ = "cannot loop-mount " + type + " here";
    } else {
        mounted_ = folder;
    }
}

LoopMount::~LoopMount() {
    if (!mounted_.empty()) {
        ::umount2(mounted_.c_str(), MNT_DETACH);
    }
}

StoredBytes StoredBytesOf(const std::filesystem::path& path) {
    constexpr unsigned kExtents = 64;
    // The header and room for the extents that follow it.
    std::vector<std::uint64_t> buffer((sizeof(fiemap) + kExtents * sizeof(fiemap_extent)) / 8 + 1);
    auto* const map = reinterpret_cast<fiemap*>(buffer.data());
    StoredBytes stored;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    for (std::uint64_t from = 0; fd >= 0;) {
        std::fill(buffer.begin(), buffer.end(), 0);
        map->fm_start = from;
        map->fm_length = FIEMAP_MAX_OFFSET - from;
        map->fm_flags = FIEMAP_FLAG_SYNC;
        map->fm_extent_count = kExtents;
        if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0) {
            break;
        }
        const fiemap_extent* const extents = map->fm_extents;
        const fiemap_extent* const last = &extents[map->fm_mapped_extents - 1];
        for (const fiemap_extent* e = extents; e <= last; ++e) {
            const auto length = static_cast<std::int64_t>(e->fe_length);
            stored.data += length;
            stored.shared += (e->fe_flags & FIEMAP_EXTENT_SHARED) != 0 ? length : 0;
        }
        if ((last->fe_flags & FIEMAP_EXTENT_LAST) != 0) {
            break;
        }
        from = last->fe_logical + last->fe_length;
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return stored;
}

bool IsHole(const std::filesystem::path& path, std::int64_t from, std::int64_t to) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const off_t data = fd < 0 ? -1 : ::lseek(fd, from, SEEK_DATA);
    const bool none = fd >= 0 && (data >= to || (data < 0 && errno == ENXIO));
    if (fd >= 0) {
        ::close(fd);
    }
    return none;
}
