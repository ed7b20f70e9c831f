// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <memory>

class QMessageBox;

namespace kst::ui {

enum class BoxKind { Information, Failure };

// Receives every box instead of the screen while installed; an empty
// function restores the real boxes. Lets tests run without a modal loop.
using BoxInterceptor = std::function<void(BoxKind kind, const QString& text)>;
void SetBoxInterceptor(BoxInterceptor interceptor);

// The failure text as shown (kst::FailureBoxText).
QString FailureText(const QString& message);

// The boxes ready to exec(); built separately so they can be inspected.
std::unique_ptr<QMessageBox> BuildInformationBox(const QString& text);
std::unique_ptr<QMessageBox> BuildFailureBox(const QString& message);

// Modal; return once the user has closed the box.
void ShowInformation(const QString& text);
void ShowFailure(const QString& message);
// The failure box for a caught failure (kst::FailureMessage).
void ShowFailure(const std::exception& failure);

} // namespace kst::ui
