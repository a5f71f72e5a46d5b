#pragma once

#include <QString>

#include <functional>

// Log lines go to standard output exactly as written (emoji, bracketed tag).
namespace Log {
void line(const QString& text);

// Tests capture lines here; returns the previous sink. Thread-safe.
using Sink = std::function<void(const QString&)>;
Sink setSink(Sink sink);
}
