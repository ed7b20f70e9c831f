// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace kst {

// Controls whose text the job reads.
enum class TextControl { Label1, Edit1, Edit2, ComboBox1 };

// Check boxes the job reads.
enum class CheckControl { CheckBox1, CheckBox2, CheckBox3 };

// The job's only view of the window. Each read happens at the moment the job
// needs the value, so changes made during a yield count from then on.
// All texts are UTF-8.
class JobHost {
public:
    virtual ~JobHost() = default;

    virtual std::string ReadText(TextControl control) = 0;
    virtual bool IsChecked(CheckControl control) = 0;
    // Index of RadioGroup1's selected item.
    virtual int RadioIndex() = 0;

    virtual bool AbortFlag() = 0;
    virtual void ClearAbortFlag() = 0;

    virtual void ClearLog() = 0;
    virtual void AppendLog(std::string_view line) = 0;
    // index 0..2 of StatusBar1's panels.
    virtual void SetPanel(int index, std::string_view text) = 0;
    virtual void SetGauge(int percent) = 0;
    // true: Execute hidden, Abort shown (copy phase); false: the idle pair.
    virtual void ShowAbortButton(bool copying) = 0;
    // Modal notice; returns once the user has closed it.
    virtual void Inform(std::string_view text) = 0;
    // Handles every pending event, then returns.
    virtual void Yield() = 0;
};

} // namespace kst
