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

// The first Danish voice, or nullptr.
ISpObjectToken* danishVoice() {
  ISpObjectTokenCategory* category = nullptr;
  IEnumSpObjectTokens* tokens = nullptr;
  ISpObjectToken* voice = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL,
                                 IID_ISpObjectTokenCategory, reinterpret_cast<void**>(&category))) &&
      SUCCEEDED(category->SetId(SPCAT_VOICES, FALSE)) &&
      SUCCEEDED(category->EnumTokens(L"Language=406", nullptr, &tokens)) &&
      tokens->Next(1, &voice, nullptr) != S_OK) {
    voice = nullptr;
  }
  if (tokens) tokens->Release();
  if (category) category->Release();
  return voice;
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
      problem = "Kan ikke tale: lyden svigtede";
      return false;
    }
    return true;
  };
}
