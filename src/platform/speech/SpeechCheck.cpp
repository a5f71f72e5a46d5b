// Loads a recogniser model in a process of its own: a damaged model file can
// make the recogniser's library end the process or crash, and the app must
// not go with it. Prints the library's log as it goes, so the last file named
// is the one that failed, and "ok" when the model loaded.
//   tessary-speech-check ACOUSTIC_FOLDER LANGUAGE_MODEL DICTIONARY

#include "PocketSphinxConfig.h"

#include <cstdarg>
#include <cstdio>

namespace {
void printLog(void*, err_lvl_t level, const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::printf("%s%s", level >= ERR_ERROR ? "error: " : "", line);
    std::fflush(stdout);
}
}

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s ACOUSTIC_FOLDER LANGUAGE_MODEL DICTIONARY\n", argv[0]);
        return 2;
    }
    err_set_logfp(nullptr);
    err_set_callback(printLog, nullptr);
    cmd_ln_t* config = pocketSphinxConfig(argv[1], argv[2], argv[3]);
    if (!config)
        return 1;
    ps_decoder_t* decoder = ps_init(config);
    if (!decoder)
        return 1;
    // A short stretch of silence through the whole decoder, so a model that
    // loads but breaks recognition fails here too.
    short silence[1600] = {};
    if (ps_start_utt(decoder) < 0 || ps_process_raw(decoder, silence, 1600, FALSE, FALSE) < 0
        || ps_end_utt(decoder) < 0)
        return 1;
    ps_free(decoder);
    cmd_ln_free_r(config);
    std::printf("\nok\n");
    return 0;
}
