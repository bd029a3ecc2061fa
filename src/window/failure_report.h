#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace talvo::window {

inline constexpr const char* WindowCaption = "TALVO Soil Moisture Calculator";

// Where the window sends the message of a failed action. The program shows it in a message
// box; tests capture it instead of blocking on a modal dialog.
using FailureReport = std::function<void(const QString& message)>;

// A warning box over the window, titled with the window's caption.
FailureReport messageBoxReport(QWidget& parent);

} // namespace talvo::window
