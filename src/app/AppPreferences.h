#pragma once

// Registers every folder's preference keys; called once at start.
namespace AppPreferences {
void registerAll();
}
