#pragma once

#include <pocketsphinx.h>
#include <sphinxbase/cmn.h>
#include <sphinxbase/err.h>
#include <sphinxbase/feat.h>

#include <cstdarg>
#include <cstdio>

// The recogniser's settings, shared by the engine and the model check so
// the check loads the model exactly as the engine will.
inline cmd_ln_t* pocketSphinxConfig(const char* acoustic, const char* languageModel, const char* dictionary)
{
    return cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", acoustic, "-lm", languageModel, "-dict", dictionary,
                       "-samprate", "16000", nullptr);
}

// One line of the recogniser's log, formatted.
inline void formatLogLine(char* out, size_t size, const char* format, va_list args)
{
    std::vsnprintf(out, size, format, args);
}
