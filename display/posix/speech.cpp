// Speech on Linux: espeak-ng's Danish voice, played through its own audio
// output (the sound server, PulseAudio or PipeWire, else ALSA), one text at
// a time, each returning once it has been played.
#include <espeak-ng/espeak_ng.h>

#include <cstring>

#include "announcer.hpp"

Announcer::Speak systemSpeech() {
  return [ready = false](const std::string& text, std::string& problem) mutable {
    if (!ready) {
      espeak_ng_InitializePath(nullptr);
      if (espeak_ng_Initialize(nullptr) != ENS_OK) {
        problem = "Kan ikke tale: ingen stemmer (espeak-ng)";
        return false;
      }
      if (espeak_ng_InitializeOutput(static_cast<espeak_ng_OUTPUT_MODE>(ENOUTPUT_MODE_SPEAK_AUDIO |
                                                                        ENOUTPUT_MODE_SYNCHRONOUS),
                                     0, nullptr) != ENS_OK) {
        problem = "Kan ikke tale: ingen lyd";
        return false;
      }
      if (espeak_ng_SetVoiceByName("da") != ENS_OK) {
        problem = "Kan ikke tale: ingen dansk stemme";
        return false;
      }
      ready = true;
    }
    if (espeak_ng_Synthesize(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                             nullptr, nullptr) != ENS_OK ||
        espeak_ng_Synchronize() != ENS_OK) {
      problem = "Kan ikke tale: lyden svigtede";
      return false;
    }
    return true;
  };
}
