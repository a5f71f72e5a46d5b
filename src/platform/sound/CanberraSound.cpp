#include <canberra.h>

#include <mutex>

namespace {
// One playback id for every sound, so a new one can cancel its predecessor.
constexpr uint32_t kPlayId = 1;

std::mutex contextMutex;

// Made on first use and kept for the process: it is the holder that keeps a
// playing sound alive, and all access goes through contextMutex.
ca_context* sharedContext(int* error)
{
    static ca_context* context = nullptr;
    if (!context) {
        ca_context* made = nullptr;
        *error = ca_context_create(&made);
        if (*error != CA_SUCCESS)
            return nullptr;
        ca_context_change_props(made, CA_PROP_APPLICATION_NAME, "Tessary", CA_PROP_APPLICATION_ID, "tessary",
                                nullptr);
        // Opened here, so a missing audio backend is not taken for a missing sound.
        *error = ca_context_open(made);
        if (*error != CA_SUCCESS) {
            ca_context_destroy(made);
            return nullptr;
        }
        context = made;
    }
    *error = CA_SUCCESS;
    return context;
}
}

// Plays the theme's event sound `eventId` at `volumeDb` (libcanberra's
// text, "13.06"), stopping the one still playing. 0 when it plays, 1 when
// the sound (or the device) was not found, -1 for other failures (no
// context); `error` gets libcanberra's text.
extern "C" __attribute__((visibility("default"))) int tessaryPlayEventSound(const char* eventId,
                                                                            const char* description,
                                                                            const char* volumeDb,
                                                                            const char** error)
{
    std::lock_guard lock(contextMutex);
    int code = CA_SUCCESS;
    ca_context* context = sharedContext(&code);
    if (error)
        *error = ca_strerror(code);
    if (!context)
        return -1;
    ca_context_cancel(context, kPlayId);
    code = ca_context_play(context, kPlayId, CA_PROP_EVENT_ID, eventId, CA_PROP_EVENT_DESCRIPTION, description,
                           CA_PROP_CANBERRA_VOLUME, volumeDb, CA_PROP_CANBERRA_CACHE_CONTROL, "volatile", nullptr);
    if (error)
        *error = ca_strerror(code);
    if (code == CA_SUCCESS)
        return 0;
    return code == CA_ERROR_NOTFOUND ? 1 : -1;
}
