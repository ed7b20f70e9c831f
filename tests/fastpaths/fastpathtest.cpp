// SPDX-License-Identifier: MIT
#include "fastpathtest.h"

#include <fcntl.h>
#include <fstream>
#include <stdexcept>
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
