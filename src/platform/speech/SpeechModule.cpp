#include "PocketSphinxEngine.h"

extern "C" Q_DECL_EXPORT SpeechEngine* tessaryCreateSpeechEngine(const QString& helperFolder)
{
    return new PocketSphinxEngine(helperFolder + QStringLiteral("/tessary-speech-check"));
}
