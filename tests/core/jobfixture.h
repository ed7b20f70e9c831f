// SPDX-License-Identifier: MIT
#pragma once

#include "bytesink.h"
#include "file.h"
#include "joberror.h"
#include "outputpath.h"
#include "recordinghost.h"
#include "testfiles.h"
#include "trimjob.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

// A job over a real temp file, with ComboBox1's unit shrunk to 10 bytes so
// small files cross several chunks.
class JobTest : public testing::Test {
protected:
    TempDir dir;
    RecordingHost host;
    kst::JobOptions options{0, 10};
    std::filesystem::path input;

    void Drop(const std::string& name, const Bytes& bytes) {
        input = dir.Write(name, bytes);
        host.texts[kst::Field::InputPath] = Utf8(input);
    }
    std::filesystem::path Output() const {
        return kst::PathFromUtf8(kst::OutputBesideInput(Utf8(input)));
    }
    kst::JobResult Run() { return kst::RunTrimJob(host, options); }
    // The failure's message, or "no failure".
    std::string Failure() {
        try {
            Run();
        } catch (const kst::JobError& e) {
            return e.what();
        }
        return "no failure";
    }
    bool InputFree() const {
        kst::InputFile probe;
        return probe.Open(input);
    }
    // The recorded events without gauge moves.
    std::vector<std::string> Steps() const {
        std::vector<std::string> steps;
        std::copy_if(host.events.begin(), host.events.end(), std::back_inserter(steps),
                     [](const std::string& e) { return e.rfind("gauge:", 0) != 0; });
        return steps;
    }
};

// Sees every byte in order, runs spelled out: a digest's view of a file.
class ByteRecorder : public kst::ByteSink {
public:
    std::vector<std::uint8_t> seen;
    void Run(std::uint8_t byte, std::int64_t count) override {
        seen.insert(seen.end(), static_cast<std::size_t>(count), byte);
    }
    void Bytes(const std::uint8_t* data, std::int64_t length) override {
        seen.insert(seen.end(), data, data + length);
    }
};
