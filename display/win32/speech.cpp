// Speech on Windows: SAPI with a Danish voice (language 406) where one is
// installed; without one, nothing is spoken and the display beeps. The
// voices are looked for before the speech engine is made, so a system
// without a Danish voice says so at once.
#include <windows.h>
#include <initguid.h>
#include <sapi.h>

#include <string>

#include "announcer.hpp"

namespace {

std::wstring wide(const std::string& text) {
  std::wstring out;
  for (const char c : text) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

// Whether a voice's Attributes say Danish (language 406; a list such as
// "406;409" counts). Asked of the voice itself: not every SAPI honours the
// filter of EnumTokens (Wine gives its one voice for any language).
bool speaksDanish(ISpObjectToken* voice) {
  ISpDataKey* attributes = nullptr;
  if (FAILED(voice->OpenKey(L"Attributes", &attributes))) return false;
  WCHAR* language = nullptr;
  bool danish = false;
  if (SUCCEEDED(attributes->GetStringValue(L"Language", &language)) && language) {
    const std::wstring languages = std::wstring(L";") + language + L";";
    danish = languages.find(L";406;") != std::wstring::npos;
    CoTaskMemFree(language);
  }
  attributes->Release();
  return danish;
}

// The first Danish voice of a token category, or nullptr.
ISpObjectToken* danishVoiceIn(const wchar_t* id) {
  ISpObjectTokenCategory* category = nullptr;
  IEnumSpObjectTokens* tokens = nullptr;
  ISpObjectToken* found = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL,
                                 IID_ISpObjectTokenCategory, reinterpret_cast<void**>(&category))) &&
      SUCCEEDED(category->SetId(id, FALSE)) &&
      SUCCEEDED(category->EnumTokens(L"Language=406", nullptr, &tokens))) {
    ISpObjectToken* voice = nullptr;
    ULONG count = 0;
    tokens->GetCount(&count);
    for (ULONG i = 0; i < count && i < 64 && !found && tokens->Next(1, &voice, nullptr) == S_OK; ++i) {
      if (speaksDanish(voice)) {
        found = voice;
      } else {
        voice->Release();
      }
    }
  }
  if (tokens) tokens->Release();
  if (category) category->Release();
  return found;
}

// The voices of SAPI's own category, then those Windows 10 and 11 add
// through Settings > Time & language > Speech (OneCore voices, kept in a
// category of their own that SAPI reads all the same).
ISpObjectToken* danishVoice() {
  if (ISpObjectToken* voice = danishVoiceIn(SPCAT_VOICES)) return voice;
  return danishVoiceIn(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech_OneCore\\Voices");
}

}  // namespace

Announcer::Speak systemSpeech() {
  return [engine = static_cast<ISpVoice*>(nullptr)](const std::string& text,
                                                    std::string& problem) mutable {
    if (!engine) {
      CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      ISpObjectToken* danish = danishVoice();
      if (!danish) {
        problem = "Kan ikke tale: ingen dansk stemme";
        return false;
      }
      const bool made = SUCCEEDED(CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL,
                                                   IID_ISpVoice, reinterpret_cast<void**>(&engine)));
      if (made) engine->SetVoice(danish);
      danish->Release();
      if (!made) {
        engine = nullptr;
        problem = "Kan ikke tale: ingen talesyntese (SAPI)";
        return false;
      }
    }
    if (FAILED(engine->Speak(wide(text).c_str(), SPF_DEFAULT, nullptr))) {
      problem = "Kan ikke tale: ingen lyd";
      return false;
    }
    return true;
  };
}
