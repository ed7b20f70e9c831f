// SPDX-License-Identifier: MIT
#include "file.h"

#include "tempname.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <sys/utsname.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#include <sys/inotify.h>
#endif

namespace kst {
namespace {

constexpr int kClosed = -1;

#ifdef O_NOATIME
constexpr int kKeepAccessTime = O_NOATIME;
#else
constexpr int kKeepAccessTime = 0;
#endif

// The input, opened without blocking: a FIFO with no writer would hang.
// Only a regular file is kept, and to one O_NONBLOCK means nothing
// (open(2)), so it stays: clearing it would cost each small file of a batch
// a call. It is read without touching even its access time, which would
// otherwise write each small file's inode back; only the file's owner (or a
// process with CAP_FOWNER) may ask that, so anyone else reads it the plain
// way.
int OpenForReading(const std::filesystem::path& path, int flags) {
    const auto open = [&](int more) {
        return ::open(path.c_str(), flags | more | O_NONBLOCK | O_CLOEXEC);
    };
    const int fd = open(kKeepAccessTime);
    return fd == kClosed && errno == EPERM ? open(0) : fd;
}

bool LockExclusive(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

std::int64_t Nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

bool ReadStamp(int fd, std::int64_t& size, std::int64_t& time) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return false;
    }
    size = st.st_size;
    time = Nanoseconds(st.st_mtim);
    return true;
}

// Fewer bytes stored than the length: some of it is holes.
bool StoresLess(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_blocks) * 512 < st.st_size;
}

void CloseQuietly(int& fd) {
    if (fd != kClosed) {
        ::close(fd);
        fd = kClosed;
    }
}

// A file's time moves with the clock's tick, so a write within the tick of
// the one before can leave it as it was. On Linux a watch on the open file
// reports every write and truncation, by anyone; where none can be had the
// size and time stand alone. The process keeps one watching instance, whose
// watches come and go with the inputs: closing an instance waits on the
// system for up to milliseconds, a batch of small files would pay it each.
// Removing a watch costs about as much again as a small file's copy, so the
// inputs of a batch leave theirs behind, to go all at once (Release).
class WriteWatches {
public:
    static WriteWatches& Process() {
        static WriteWatches* const watches = new WriteWatches; // closed by the exit
        return *watches;
    }

    // The watch for fd's file, kClosed when none can be had.
    int Add(int fd) {
#ifdef __linux__
        const std::lock_guard lock(mutex_);
        int watch = AddLocked(fd);
        if (watch < 0 && errno == ENOSPC && !left_.empty()) {
            ReleaseLocked(); // the system's limit on watches: make room
            watch = AddLocked(fd);
        }
        if (watch < 0) {
            return kClosed;
        }
        left_.erase(watch);
        if (users_[watch]++ == 0) {
            written_.erase(watch);
        }
        return watch;
#else
        (void)fd;
        return kClosed;
#endif
    }

    // Reports still queued for the watch are dropped by the next Drain, as
    // no input uses its number by then. Left, the watch stays until Release.
    void Remove(int watch, bool leave) {
#ifdef __linux__
        const std::lock_guard lock(mutex_);
        if (--users_[watch] == 0) {
            users_.erase(watch);
            written_.erase(watch);
            if (leave) {
                left_.insert(watch);
                if (left_.size() >= kLeftAtMost) {
                    ReleaseLocked(); // each holds its file in the system's memory
                }
            } else {
                ::inotify_rm_watch(instance_, watch);
            }
        }
#else
        (void)watch;
        (void)leave;
#endif
    }

    // Removes the watches left: with no input open, by closing the instance,
    // one wait for them all.
    void Release() {
#ifdef __linux__
        const std::lock_guard lock(mutex_);
        ReleaseLocked();
#endif
    }

    bool Reported(int watch) {
        const std::lock_guard lock(mutex_);
        Drain();
        return written_.contains(watch);
    }

private:
#ifdef __linux__
    int AddLocked(int fd) {
        if (instance_ == kClosed) {
            instance_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            if (instance_ == kClosed) {
                return -1;
            }
        }
        // Reports still queued for watches gone are dropped by the next
        // Drain: the system numbers new watches onwards, never one just
        // removed, so none of them names this one.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        return ::inotify_add_watch(instance_, self.c_str(), IN_MODIFY);
    }

    void ReleaseLocked() {
        if (left_.empty()) {
            return;
        }
        if (users_.empty()) {
            CloseQuietly(instance_);
        } else {
            for (const int watch : left_) {
                ::inotify_rm_watch(instance_, watch);
            }
        }
        left_.clear();
    }
#endif

    // Takes every pending report; an overflowed queue counts as a write to
    // every file watched.
    void Drain() {
#ifdef __linux__
        alignas(inotify_event) char events[4096];
        // A read takes every whole report queued that fits: one that left
        // room for the largest took them all, and another would only fail.
        constexpr ssize_t kRoomForAll =
            static_cast<ssize_t>(sizeof events - sizeof(inotify_event) - NAME_MAX - 1);
        ssize_t n = sizeof events;
        while (n > kRoomForAll && (n = ::read(instance_, events, sizeof events)) > 0) {
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                if (event->mask & IN_Q_OVERFLOW) {
                    for (const auto& [watch, users] : users_) {
                        written_.insert(watch);
                    }
                } else if ((event->mask & IN_MODIFY) && users_.contains(event->wd)) {
                    written_.insert(event->wd);
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
#endif
    }

    std::mutex mutex_;
    int instance_ = kClosed;
    std::map<int, int> users_; // inputs open per watch: one file may be open twice
    std::set<int> written_;    // watches with a write reported
    std::set<int> left_;       // watches no input uses, left for Release
    static constexpr std::size_t kLeftAtMost = 4096;
};

// False, with the reason in error, when fd (kClosed when the open failed)
// cannot be the input. Only a folder has a code for not being a file.
bool UsableInput(int fd, struct stat& st, OsErrorCode& error) {
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        error = errno;
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : 0;
        return false;
    }
    if (!LockExclusive(fd)) {
        error = errno;
        return false;
    }
    return true;
}

} // namespace

NativeHandle InputFile::InvalidHandle() {
    return kClosed;
}

InputFile::~InputFile() {
    Close();
}

bool InputFile::Open(const std::filesystem::path& path, Watch watch, Links links) {
    Close();
    handle_ = OpenForReading(path, links == Links::Refuse ? O_RDONLY | O_NOFOLLOW : O_RDONLY);
    // Watched before the stamp is read, so no write falls between.
    if (handle_ != kClosed && watch != Watch::None) {
        writeWatch_ = WriteWatches::Process().Add(handle_);
        leaveWatch_ = watch == Watch::WritesInBatch;
    }
    struct stat st {};
    OsErrorCode error = 0;
    if (!UsableInput(handle_, st, error)) {
        Close();
        error_ = error;
        return false;
    }
    openSize_ = st.st_size;
    openTime_ = Nanoseconds(st.st_mtim);
    openWithHoles_ = StoresLess(st);
    openMode_ = static_cast<int>(st.st_mode & 0777);
    openGroup_ = static_cast<int>(st.st_gid);
    return true;
}

void InputFile::ReleaseBatchWatches() {
    WriteWatches::Process().Release();
}

bool InputFile::IsOpen() const {
    return handle_ != kClosed;
}

void InputFile::Close() {
    CloseQuietly(handle_);
    if (writeWatch_ != kClosed) {
        WriteWatches::Process().Remove(writeWatch_, leaveWatch_);
        writeWatch_ = kClosed;
    }
}

std::int64_t InputFile::Size() const {
    struct stat st {};
    return ::fstat(handle_, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

std::int64_t InputFile::ReadAt(std::int64_t pos, std::uint8_t* buffer, std::int64_t length) const {
    std::int64_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(handle_, buffer + done, static_cast<size_t>(length - done),
                                  static_cast<off_t>(pos + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error_.store(errno, std::memory_order_relaxed);
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += n;
    }
    return done;
}

std::int64_t InputFile::ReadCachedAt(std::int64_t pos, std::uint8_t* buffer,
                                     std::int64_t length) const {
#ifdef RWF_NOWAIT
    iovec into{buffer, static_cast<size_t>(length)};
    ssize_t n = 0;
    do {
        n = ::preadv2(handle_, &into, 1, static_cast<off_t>(pos), RWF_NOWAIT);
    } while (n < 0 && errno == EINTR);
    return std::max<ssize_t>(n, 0);
#else
    (void)pos;
    (void)buffer;
    (void)length;
    return 0;
#endif
}

void InputFile::Prefetch(std::int64_t pos, std::int64_t length) const {
    ::posix_fadvise(handle_, static_cast<off_t>(pos), static_cast<off_t>(length),
                    POSIX_FADV_WILLNEED);
}

bool InputFile::MayHaveHoles() const {
    return openWithHoles_;
}

std::int64_t InputFile::DataFrom(std::int64_t pos) const {
#ifdef SEEK_DATA
    const off_t data = ::lseek(handle_, static_cast<off_t>(pos), SEEK_DATA);
    if (data >= 0) {
        return data;
    }
    if (errno == ENXIO) {
        // No data from pos to the end. The length is asked again, so a file
        // that shrank since shows a short read rather than a hole.
        return Size();
    }
#endif
    return pos;
}

std::int64_t InputFile::HoleFrom(std::int64_t pos) const {
#ifdef SEEK_HOLE
    const off_t hole = ::lseek(handle_, static_cast<off_t>(pos), SEEK_HOLE);
    if (hole >= 0) {
        return hole;
    }
#endif
    return Size();
}

bool InputFile::Unchanged() const {
    std::int64_t size = 0;
    std::int64_t time = 0;
    return (writeWatch_ == kClosed || !WriteWatches::Process().Reported(writeWatch_)) &&
           ReadStamp(handle_, size, time) && size == openSize_ && time == openTime_;
}

OutputFile::~OutputFile() {
    Discard();
}

namespace {

bool IsLockedElsewhere(int fd) {
    return !LockExclusive(fd);
}

bool SameFileAs(int fd, const InputFile& input) {
    struct stat out {};
    struct stat in {};
    if (::fstat(fd, &out) != 0 || ::fstat(input.Handle(), &in) != 0) {
        return true; // cannot tell: refuse rather than risk the input
    }
    return out.st_dev == in.st_dev && out.st_ino == in.st_ino;
}

// A file at the destination that the rename would replace: refused when it
// is the input, held by someone else or not writable by us, as writing into
// it would have been.
CreateResult CheckReplaceable(int folder, const std::string& name, const InputFile& input) {
    int fd = ::openat(folder, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return CreateResult::Failed;
    }
    const CreateResult result = SameFileAs(fd, input)   ? CreateResult::SameFile
                                : IsLockedElsewhere(fd) ? CreateResult::Failed
                                                        : CreateResult::Created;
    CloseQuietly(fd);
    return result;
}

// The names in the folder that have the form of temporary names.
std::vector<std::filesystem::path> ListTemps(int folder) {
    std::vector<std::filesystem::path> names;
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* const dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (dir == nullptr) {
        if (listing >= 0) {
            ::close(listing);
        }
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (IsTempName(std::string_view(entry->d_name))) {
            names.emplace_back(entry->d_name);
        }
    }
    ::closedir(dir);
    return names;
}

// Temporary files of this destination whose job died, taken out of names:
// nobody holds their lock any more. Links and anything else that is no
// regular file are left.
void RemoveStaleTemps(int folder, const std::filesystem::path& finalName,
                      std::vector<std::filesystem::path>& names) {
    std::erase_if(names, [&](const std::filesystem::path& name) {
        if (TempNameProcess(finalName, name) < 0) {
            return false;
        }
        int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && LockExclusive(fd)) {
            ::unlinkat(folder, name.c_str(), 0);
        }
        CloseQuietly(fd);
        return true;
    });
}

std::filesystem::path FolderOf(const std::filesystem::path& destination) {
    return destination.has_parent_path() ? destination.parent_path() : std::filesystem::path(".");
}

int OpenFolder(const std::filesystem::path& destination) {
    return ::open(FolderOf(destination).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// The process's number, asked once: it is each temporary name's, and on
// POSIX only a mark, as their locks tell the live from the stale.
pid_t ThisProcess() {
    static const pid_t pid = ::getpid();
    return pid;
}

// Gives name fresh temporary names of finalName until make(name), which
// returns 0 or the system's reason, finds it free: retried with new tokens
// should a name be taken, by chance or on purpose.
template <class Make>
OsErrorCode TryTempNames(const std::filesystem::path& finalName, std::filesystem::path& name,
                         Make make) {
    constexpr int kTries = 8;
    OsErrorCode error = EEXIST;
    for (int i = 0; i < kTries && error == EEXIST; ++i) {
        name = TempName(finalName, static_cast<std::uint64_t>(ThisProcess()), NextTempToken());
        error = make(name);
    }
    return error;
}

// errno says why when it returns kClosed.
int CreateTemp(int folder, const std::filesystem::path& finalName, std::filesystem::path& name) {
    int fd = kClosed;
    errno = TryTempNames(finalName, name, [&](const std::filesystem::path& candidate) {
        fd = ::openat(folder, candidate.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        return fd >= 0 ? 0 : errno;
    });
    return fd;
}

// A new file in folder with no name, private to its owner; kClosed where the
// file system has no such files or its name could not be given later (no
// /proc to name it through).
int OpenUnnamed(int folder) {
#if defined(__linux__) && defined(O_TMPFILE)
    static const bool canName = ::access("/proc/self/fd", X_OK) == 0;
    if (canName) {
        return ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    }
#else
    (void)folder;
#endif
    return kClosed;
}

// Names the file fd in folder from the descriptor itself; ENOENT where the
// system does not let us.
OsErrorCode LinkFromDescriptor(int fd, int folder, const std::filesystem::path& name) {
#ifdef AT_EMPTY_PATH
    return ::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
#else
    (void)fd;
    (void)folder;
    (void)name;
    return ENOENT;
#endif
}

// Gives the file fd, made by OpenUnnamed, the name in folder; 0, or the
// system's reason (EEXIST: the name is taken). Named from the descriptor
// itself where the system lets us (with CAP_DAC_READ_SEARCH, or from Linux
// 6.10 as the file's opener); else through /proc, as open(2) shows, which
// walks /proc for each file. Once /proc had to name one, the descriptor is
// not tried again.
OsErrorCode LinkUnnamed(int fd, int folder, const std::filesystem::path& name) {
    static std::atomic<bool> fromDescriptor{true};
    if (fromDescriptor.load(std::memory_order_relaxed)) {
        if (const OsErrorCode direct = LinkFromDescriptor(fd, folder, name); direct != ENOENT) {
            return direct;
        }
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        return errno;
    }
    fromDescriptor.store(false, std::memory_order_relaxed);
    return 0;
}

#ifdef __linux__
// Whether syncfs reports the write errors met since its descriptor was
// opened, as it does from Linux 5.8 on; before, it said nothing of them.
bool SyncfsReportsWriteErrors() {
    static const bool reports = [] {
        utsname system{};
        int major = 0;
        int minor = 0;
        return ::uname(&system) == 0 && std::sscanf(system.release, "%d.%d", &major, &minor) == 2 &&
               (major > 5 || (major == 5 && minor >= 8));
    }();
    return reports;
}
#endif

mode_t CurrentUmask() {
#ifdef __linux__
    // Read where the system shows it: setting it to read it back would race
    // with files created meanwhile.
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        unsigned mask = 0;
        char line[256];
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr) {
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        }
        std::fclose(status);
        if (found) {
            return static_cast<mode_t>(mask);
        }
    }
#endif
    const mode_t mask = ::umask(077);
    ::umask(mask);
    return mask;
}

// Who may read the finished file fd, whose status is st: the reference's
// permission bits, less the umask. Group bits stand only for the reference's
// own group. The owner may always write, so a later job can replace its own
// output.
void TakePermissions(int fd, const struct stat& st, int mode, int group, mode_t umask) {
    int bits = (mode | 0200) & ~static_cast<int>(umask);
    if (group >= 0 && st.st_gid != static_cast<gid_t>(group) &&
        ::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(group)) != 0) {
        bits &= ~070;
    }
    ::fchmod(fd, static_cast<mode_t>(bits));
}

void TakePermissions(int fd, int mode, int group) {
    struct stat st {};
    if (::fstat(fd, &st) == 0) { // else it stays private
        TakePermissions(fd, st, mode, group, CurrentUmask());
    }
}

} // namespace

std::int64_t RaiseOpenFileLimit(std::int64_t wanted) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 0;
    }
    const rlim_t want = static_cast<rlim_t>(wanted);
    if (limit.rlim_cur < want && limit.rlim_cur != RLIM_INFINITY) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? want : std::min(want, limit.rlim_max);
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            limit = raised;
        }
    }
    return limit.rlim_cur == RLIM_INFINITY ? wanted : static_cast<std::int64_t>(limit.rlim_cur);
}

FolderTemps::~FolderTemps() {
    CloseFolders();
}

void FolderTemps::CloseFolders() {
    for (auto& [folder, fd] : opened_) {
        CloseQuietly(fd);
    }
    opened_.clear();
}

int FolderTemps::Opened(const std::filesystem::path& folder) {
    const auto [entry, added] = opened_.try_emplace(folder.lexically_normal(), kClosed);
    if (entry->second == kClosed) {
        entry->second = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    return entry->second;
}

std::vector<std::filesystem::path>& FolderTemps::In(const std::filesystem::path& folder) {
    // Keyed by the name as given, without asking for the working folder per
    // output: a folder named two ways is listed twice, which costs a listing
    // and loses nothing.
    const auto [entry, added] = folders_.try_emplace(folder.lexically_normal());
    if (added) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            entry->second = ListTemps(fd);
            ::close(fd);
        }
    }
    return entry->second;
}

CreateResult OutputFile::Create(const std::filesystem::path& destination, const InputFile& input,
                                SpecialDestination special, FolderTemps* temps, Waiting waiting) {
    Discard();
    const auto failed = [this](OsErrorCode error) {
        error_ = error;
        return CreateResult::Failed;
    };
    if (!input.IsOpen()) {
        return failed(EBADF);
    }
    mode_ = input.openMode_;
    group_ = input.openGroup_;
    const bool inBatch = temps != nullptr && waiting == Waiting::InBatch;
    ownsFolder_ = !inBatch;
    folder_ = ownsFolder_ ? OpenFolder(destination) : temps->Opened(FolderOf(destination));
    if (folder_ < 0) {
        return failed(errno);
    }
    destination_ = destination;
    const std::filesystem::path finalName = destination.filename();
    struct stat st {};
    const bool exists = ::fstatat(folder_, finalName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT) {
        return failed(errno);
    }
    if (exists && S_ISDIR(st.st_mode)) {
        return failed(EISDIR);
    }
    if (exists && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode) &&
        special == SpecialDestination::WriteInPlace) {
        // A device and the like: written in place, opened without blocking
        // (a FIFO with no reader fails instead of hanging).
        int fd =
            ::openat(folder_, finalName.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        }
        if (fd < 0 || SameFileAs(fd, input) || IsLockedElsewhere(fd)) {
            error_ = errno;
            const CreateResult result =
                fd >= 0 && SameFileAs(fd, input) ? CreateResult::SameFile : CreateResult::Failed;
            CloseQuietly(fd);
            return result;
        }
        handle_ = fd;
        return CreateResult::Created;
    }
    if (exists && S_ISREG(st.st_mode)) {
        if (const CreateResult check = CheckReplaceable(folder_, finalName, input);
            check != CreateResult::Created) {
            error_ = errno;
            return check;
        }
    }
    if (temps != nullptr) {
        RemoveStaleTemps(folder_, finalName, temps->In(FolderOf(destination)));
    } else {
        std::vector<std::filesystem::path> names = ListTemps(folder_);
        RemoveStaleTemps(folder_, finalName, names);
    }
    if (inBatch && !exists) {
        handle_ = OpenUnnamed(folder_);
        if (handle_ != kClosed) {
            unnamed_ = true;
            return CreateResult::Created;
        }
    }
    std::filesystem::path tempName;
    int fd = CreateTemp(folder_, finalName, tempName);
    if (fd < 0 || !LockExclusive(fd)) {
        CloseQuietly(fd);
        return failed(errno);
    }
    handle_ = fd;
    tempPath_ = destination.parent_path() / tempName;
    return CreateResult::Created;
}

namespace {

// 0 once the data of fd is stored, else the system's reason.
OsErrorCode SyncData(int fd) {
    int synced = 0;
    do {
        synced = ::fdatasync(fd);
    } while (synced != 0 && errno == EINTR);
    return synced == 0 ? 0 : errno;
}

// The tests' probe stands for a flush that failed.
OsErrorCode Probed(OsErrorCode error) {
    return error == 0 && !CommitProbePasses() ? EIO : error;
}

} // namespace

bool OutputFile::Flush() {
    const OsErrorCode error = Probed(SyncData(handle_));
    TakePermissions(handle_, mode_, group_);
    if (error != 0) {
        error_ = error;
    }
    return error == 0;
}

std::vector<bool> OutputFile::FlushTogether(std::span<OutputFile* const> outputs) {
    std::vector<bool> flushed;
#ifdef __linux__
    if (outputs.size() > 1) {
        // One sync of each file system stores every file of the group and its
        // size, where a flush per file would wait on the disk for each; it
        // also sends their data to the disk in fewer, larger requests than
        // starting each file's writeback on its own.
        // The umask is read once for the group: reading it costs a file's
        // open and read.
        const mode_t umask = CurrentUmask();
        bool allStored = true;
        std::map<dev_t, int> fileSystems; // each with one of its outputs
        for (OutputFile* out : outputs) {
            struct stat st {};
            if (::fstat(out->handle_, &st) != 0) {
                allStored = false;
                continue;
            }
            TakePermissions(out->handle_, st, out->mode_, out->group_, umask);
            fileSystems.try_emplace(st.st_dev, out->handle_);
        }
        for (const auto& [device, fd] : fileSystems) {
            allStored = ::syncfs(fd) == 0 && allStored;
        }
        const bool syncsTell = allStored && SyncfsReportsWriteErrors();
        // After a sync that failed somewhere, each file is stored alone to
        // tell which were hurt. A sync that succeeded answered for every file
        // where it reports write errors at all; elsewhere each file is asked
        // for its own.
        const auto ownError = [&](int fd) -> OsErrorCode {
            if (!allStored) {
                return SyncData(fd);
            }
            constexpr unsigned kWaitWritten =
                SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
            return syncsTell || ::sync_file_range(fd, 0, 0, kWaitWritten) == 0 ? 0 : errno;
        };
        for (OutputFile* out : outputs) {
            const OsErrorCode error = ownError(out->handle_);
            const OsErrorCode probed = Probed(error);
            if (probed != 0) {
                out->error_ = probed;
            }
            flushed.push_back(probed == 0);
        }
        return flushed;
    }
#endif
    for (OutputFile* out : outputs) {
        flushed.push_back(out->Flush());
    }
    return flushed;
}

// Renamed while still locked, so no other job takes it for one left behind
// by a dead job and removes it. A file with no name is given its name; should
// one have appeared there meanwhile, it is named as a temporary and renamed
// over it, as a named one would have been.
bool OutputFile::PutInPlace() {
    if (unnamed_) {
        const OsErrorCode error = LinkUnnamed(handle_, folder_, destination_.filename());
        if (error == 0) {
            unnamed_ = false;
            return true;
        }
        // Locked before it has a name, as a named temporary is.
        if (error != EEXIST || !LockExclusive(handle_)) {
            error_ = error != EEXIST ? error : errno;
            return false;
        }
        std::filesystem::path tempName;
        if (const OsErrorCode linked = TryTempNames(destination_.filename(), tempName,
                                                    [this](const std::filesystem::path& name) {
                                                        return LinkUnnamed(handle_, folder_, name);
                                                    });
            linked != 0) {
            error_ = linked;
            return false;
        }
        unnamed_ = false;
        tempPath_ = destination_.parent_path() / tempName;
    }
    if (::renameat(folder_, tempPath_.filename().c_str(), folder_,
                   destination_.filename().c_str()) != 0) {
        error_ = errno;
        return false;
    }
    tempPath_.clear();
    return true;
}

// The data is on the disk already; a folder that cannot be synced (some file
// systems refuse) leaves only the name's durability to the system.
void OutputFile::SyncFolder() {
    ::fsync(folder_);
}

bool OutputFile::Commit() {
    if (!Renames()) {
        const bool ok = handle_ == kClosed || ::close(handle_) == 0;
        handle_ = kClosed;
        return ok;
    }
    if (!Flush() || !PutInPlace()) {
        return false;
    }
    SyncFolder();
    CloseQuietly(handle_);
    return true;
}

void OutputFile::Discard() {
    CloseQuietly(handle_);
    if (!tempPath_.empty()) {
        ::unlinkat(folder_, tempPath_.filename().c_str(), 0);
        tempPath_.clear();
    }
    if (ownsFolder_) {
        CloseQuietly(folder_);
    }
    folder_ = kClosed;
    unnamed_ = false; // closed, its file is gone with it
    kernelCopy_ = true;
    clone_ = true;
    writebackFrom_ = 0;
}

std::int64_t OutputFile::Write(const std::uint8_t* buffer, std::int64_t length) {
    std::int64_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(handle_, buffer + done, static_cast<size_t>(length - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error_ = n < 0 ? errno : EIO;
            break;
        }
        done += n;
    }
    return done;
}

void OutputFile::StartWriteback() {
#ifdef __linux__
    // Steps of a few MiB: each is one request to the disk, not one per page.
    constexpr std::int64_t kStep = std::int64_t{8} << 20;
    if (!Renames()) {
        return; // a device written in place
    }
    const off_t end = ::lseek(handle_, 0, SEEK_CUR);
    if (end - writebackFrom_ >= kStep) {
        ::sync_file_range(handle_, writebackFrom_, end - writebackFrom_, SYNC_FILE_RANGE_WRITE);
        writebackFrom_ = end;
    }
#endif
}

bool OutputFile::CanHold(std::int64_t size) {
    const off_t end = ::lseek(handle_, 0, SEEK_CUR);
    if (end != 0 || size < 0) {
        return false;
    }
    return ::ftruncate(handle_, static_cast<off_t>(size)) == 0 && ::ftruncate(handle_, 0) == 0;
}

bool OutputFile::AppendZeros(std::int64_t count) {
    const off_t end = ::lseek(handle_, 0, SEEK_CUR);
    if (count < 0) {
        return false;
    }
    struct stat st {};
    if (end < 0 || (::fstat(handle_, &st) == 0 && !S_ISREG(st.st_mode))) {
        return WriteZeros(count); // a device: no end to move
    }
    const off_t newEnd = end + static_cast<off_t>(count);
    if (::ftruncate(handle_, newEnd) != 0 || ::lseek(handle_, newEnd, SEEK_SET) != newEnd) {
        error_ = errno;
        return false;
    }
#ifdef FALLOC_FL_PUNCH_HOLE
    // Blocks the file system set aside past the old end (XFS does, for
    // writes to come) would otherwise store the zeros; a system that cannot
    // punch still reads them as zeros.
    ::fallocate(handle_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, end, newEnd - end);
#endif
    return true;
}

std::int64_t OutputFile::CopyFrom(const InputFile& input, std::int64_t pos, std::int64_t length) {
    std::int64_t done = 0;
#ifdef __linux__
    while (kernelCopy_ && done < length) {
        // Whole blocks are cloned where the file system can, in the kernel.
        loff_t from = pos + done;
        const ssize_t n = ::copy_file_range(input.Handle(), &from, handle_, nullptr,
                                            static_cast<size_t>(length - done), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        // Refused (another file system, not a regular file), failed (full,
        // too large) or the input ended: the buffered path that takes over
        // tells which.
        if (n <= 0) {
            kernelCopy_ = false;
            break;
        }
        done += n;
    }
#else
    (void)input;
    (void)pos;
    (void)length;
    kernelCopy_ = false;
#endif
    return done;
}

std::int64_t OutputFile::CloneFrom(const InputFile& input, std::int64_t pos, std::int64_t length) {
#ifdef FICLONERANGE
    const std::int64_t whole = length / kCloneGrain * kCloneGrain;
    const off_t end = ::lseek(handle_, 0, SEEK_CUR);
    if (!clone_ || whole == 0 || pos % kCloneGrain != 0 || end < 0) {
        return 0;
    }
    file_clone_range range{};
    range.src_fd = input.Handle();
    range.src_offset = static_cast<std::uint64_t>(pos);
    range.src_length = static_cast<std::uint64_t>(whole);
    range.dest_offset = static_cast<std::uint64_t>(end);
    if (::ioctl(handle_, FICLONERANGE, &range) != 0) {
        // EINVAL: the output's end lies off a block here; any other
        // reason holds for the whole file.
        clone_ = errno == EINVAL;
        return 0;
    }
    if (::lseek(handle_, end + static_cast<off_t>(whole), SEEK_SET) < 0) {
        clone_ = false;
        return 0;
    }
    return whole;
#else
    (void)input;
    (void)pos;
    (void)length;
    return 0;
#endif
}

} // namespace kst
