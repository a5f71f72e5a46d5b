#pragma once

// The two names of the product: what users see (window titles, the data
// folder, backups) and what the system sees (executable, desktop file, D-Bus
// and sound ids).
namespace Product {
inline constexpr const char* kDisplayName = "Kelvara";
inline constexpr const char* kSystemName = "tessary";
}
