#pragma once

#include <pocketsphinx.h>
#include <sphinxbase/cmn.h>
#include <sphinxbase/err.h>
#include <sphinxbase/feat.h>

// The recogniser's settings, shared by the engine and the model check so
// the check loads the model exactly as the engine will.
inline cmd_ln_t* pocketSphinxConfig(const char* acoustic, const char* languageModel, const char* dictionary)
{
    return cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", acoustic, "-lm", languageModel, "-dict", dictionary,
                       "-samprate", "16000", nullptr);
}
