// SPDX-License-Identifier: MIT
// A batch's copy written with no name is named from its descriptor where the
// system allows that, else through /proc. Here the system refuses the first
// way (a seccomp filter, as a kernel before 6.10 does for anyone without
// CAP_DAC_READ_SEARCH), and every copy must still reach its name whole,
// replacing a file that appeared there meanwhile.
#include "faultsupport.h"
#include "jobfixture.h"
#include "outputbatch.h"

#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// linkat(..., AT_EMPTY_PATH) fails with ENOENT from here on.
bool RefuseLinkFromDescriptor() {
    constexpr unsigned kFlags = offsetof(seccomp_data, args) + 4 * sizeof(std::uint64_t);
    sock_filter rules[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_linkat, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, kFlags),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, AT_EMPTY_PATH, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOENT),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(rules)), rules};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

enum class AtTheName { Nothing, FileAppeared };

class UnnamedLink : public JobTest, public testing::WithParamInterface<AtTheName> {};

TEST_P(UnnamedLink, ThroughProcWhenTheDescriptorMayNotBeLinked) {
    const Bytes copied = Framed(0, 30, 0, 7);
    std::vector<fs::path> inputs;
    for (const char* name : {"a.bin", "b.bin", "c.bin"}) {
        inputs.push_back(dir.Write(name, copied));
    }
    const auto copyOf = [](const fs::path& in) { return fs::path(in).replace_extension(".out"); };
    const bool appeared = GetParam() == AtTheName::FileAppeared;
    ASSERT_TRUE(InOtherProcess([&] {
        if (!RefuseLinkFromDescriptor()) {
            throw std::runtime_error("no seccomp filter");
        }
        kst::OutputBatch batch;
        std::vector<kst::InputFile> opened(inputs.size());
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            auto output = std::make_unique<kst::OutputFile>();
            if (!opened[i].Open(inputs[i]) ||
                output->Create(copyOf(inputs[i]), opened[i], kst::SpecialDestination::WriteInPlace,
                               &batch.Temps(),
                               kst::Waiting::InBatch) != kst::CreateResult::Created ||
                output->Write(copied.data(), std::ssize(copied)) != std::ssize(copied)) {
                throw std::runtime_error("copy not written");
            }
            if (appeared) {
                dir.Write(Utf8(copyOf(inputs[i]).filename()), Bytes{1, 2, 3});
            }
            batch.Hold(std::move(output), std::ssize(copied), Utf8(copyOf(inputs[i])));
        }
        for (const auto& outcome : batch.Commit()) {
            if (outcome.has_value()) {
                throw std::runtime_error("not committed");
            }
        }
    }));
    for (const fs::path& in : inputs) {
        EXPECT_EQ(ReadAll(copyOf(in)), copied);
    }
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, UnnamedLink,
                         testing::Values(AtTheName::Nothing, AtTheName::FileAppeared),
                         [](const auto& info) {
                             return info.param == AtTheName::Nothing ? "Nothing" : "FileAppeared";
                         });

} // namespace
