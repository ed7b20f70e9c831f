// SPDX-License-Identifier: MIT
#pragma once

#include "FormTable.h"
#include "jobhost.h"

#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace kst::form {

// What the window's rules ask of a toolkit's window. Texts are UTF-8.
class FormView {
public:
    virtual ~FormView() = default;

    // A label's, field's or combo box's text.
    virtual std::string Text(Control control) = 0;
    virtual void SetText(Control control, std::string_view text) = 0;
    virtual bool Ticked(Control checkBox) = 0;
    virtual void SetTicked(Control checkBox, bool ticked) = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;
    // Shows `shown` and hides `hidden`, which lies in the same place.
    virtual void ShowInstead(Control shown, Control hidden) = 0;
    // The selected item of a radio group; -1 when none is.
    virtual int ItemIndex(Control group) = 0;

    virtual void ClearLog() = 0;
    // Appends the line and a line break; the caret follows them.
    virtual void AppendLog(std::string_view line) = 0;
    virtual void ShowFigure(Figure figure, std::string_view text) = 0;
    virtual void SetGauge(int percent) = 0;
    // Modal boxes; return once the user has closed them.
    virtual void Inform(std::string_view text) = 0;
    virtual void ShowFailure(const std::exception& failure) = 0;
    // Handles every pending event, then returns.
    virtual void Yield() = 0;

    // The folder chooser: the folder confirmed, or nothing when cancelled.
    virtual std::optional<std::string> ChooseFolder() = 0;
    // Closes the window, which no job holds open any more.
    virtual void CloseWindow() = 0;
    // Asks the message loop to end with code.
    virtual void EndMessageLoop(int code) = 0;
};

} // namespace kst::form

// Declares, inside a window class, its implementation of every FormView member.
#define KESTRUNE_FORM_VIEW_MEMBERS                                                                 \
    std::string Text(kst::form::Control control) override;                                         \
    void SetText(kst::form::Control control, std::string_view text) override;                      \
    bool Ticked(kst::form::Control checkBox) override;                                             \
    void SetTicked(kst::form::Control checkBox, bool ticked) override;                             \
    void SetEnabled(kst::form::Control control, bool enabled) override;                            \
    void ShowInstead(kst::form::Control shown, kst::form::Control hidden) override;                \
    int ItemIndex(kst::form::Control group) override;                                              \
    void ClearLog() override;                                                                      \
    void AppendLog(std::string_view line) override;                                                \
    void ShowFigure(kst::Figure figure, std::string_view text) override;                           \
    void SetGauge(int percent) override;                                                           \
    void Inform(std::string_view text) override;                                                   \
    void ShowFailure(const std::exception& failure) override;                                      \
    void Yield() override;                                                                         \
    std::optional<std::string> ChooseFolder() override;                                            \
    void CloseWindow() override;                                                                   \
    void EndMessageLoop(int code) override
