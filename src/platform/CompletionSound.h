#pragma once

#include <QString>

// The end-of-import sound: the freedesktop event sound "complete" played
// through libcanberra. Starting a sound stops the one still playing.
class CompletionSound
{
public:
    // The stored volume fraction (1 = 100 %) clamped to 0...1 and scaled so
    // that 100 % is +15 dB over the theme sound, as the settings promise.
    static constexpr float kMaxGain = 5.62f;
    static float gainForVolume(float volume);

    // libcanberra takes its volume in dB; a gain of 0 (or less) is silence.
    static constexpr double kSilentDb = -96.0;
    static double decibelsForGain(float gain);
    // The property text passed to libcanberra ("13.06").
    static QString canberraVolume(float gain);

    static constexpr const char* kEventId = "complete";

    // Plays on a pool thread and returns at once; failures are logged.
    static void play(float volume);
};
