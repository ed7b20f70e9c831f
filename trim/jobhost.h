// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace kst {

// Texts the job asks for.
enum class Field {
    InputPath,    // the dropped file
    OutputFolder, // used when the output goes into a chosen folder
    PadText,      // number of zero bytes written ahead of the kept data
    ChunkText,    // chunk size in units of JobOptions::chunkUnit
};

// Yes/no choices the job asks for.
enum class Option {
    TrimLeading, // measure and remove the leading run too
    WritePad,    // write the pad (only counts with TrimLeading)
    MeasureOnly, // measure, write nothing
};

enum class OutputPlace { BesideInput, InFolder };

// The figures the job reports, in the order they are shown.
enum class Figure { FrontRun, TailRun, OutputSize };

// The job's only view of its front end. Each value is asked for at the
// moment the job needs it, so changes made during a yield count from then on.
// All texts are UTF-8.
class JobHost {
public:
    virtual ~JobHost() = default;

    virtual std::string ReadField(Field field) = 0;
    virtual bool IsOn(Option option) = 0;
    virtual OutputPlace OutputChoice() = 0;

    // The abort request, polled before each full chunk of the copy.
    virtual bool AbortRequested() = 0;
    virtual void ClearAbortRequest() = 0;

    virtual void ClearLog() = 0;
    virtual void AppendLog(std::string_view line) = 0;
    // An empty text clears the figure's place.
    virtual void ShowFigure(Figure figure, std::string_view text) = 0;
    virtual void SetGauge(int percent) = 0;
    // true: the copy runs, Abort takes Execute's place; false: idle again.
    virtual void ShowAbortButton(bool copying) = 0;
    // Modal notice; returns once the user has closed it.
    virtual void Inform(std::string_view text) = 0;
    // Handles every pending event, then returns.
    virtual void Yield() = 0;
};

} // namespace kst
