// Speech on Windows: SAPI with a Danish voice (language 406) where one is
// installed; without one, nothing is spoken and the display beeps.
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

}  // namespace

Announcer::Speak systemSpeech() {
  return [voice = static_cast<ISpVoice*>(nullptr)](const std::string& text,
                                                   std::string& problem) mutable {
    if (!voice) {
      CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      if (FAILED(CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_ISpVoice,
                                  reinterpret_cast<void**>(&voice)))) {
        voice = nullptr;
        problem = "Kan ikke tale: ingen talesyntese (SAPI)";
        return false;
      }
      // A Danish voice, if the system has one.
      ISpObjectTokenCategory* category = nullptr;
      IEnumSpObjectTokens* tokens = nullptr;
      ISpObjectToken* danish = nullptr;
      if (SUCCEEDED(CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL,
                                     IID_ISpObjectTokenCategory,
                                     reinterpret_cast<void**>(&category))) &&
          SUCCEEDED(category->SetId(SPCAT_VOICES, FALSE)) &&
          SUCCEEDED(category->EnumTokens(L"Language=406", nullptr, &tokens)) &&
          tokens->Next(1, &danish, nullptr) == S_OK) {
        voice->SetVoice(danish);
        danish->Release();
      } else {
        problem = "Kan ikke tale: ingen dansk stemme";
        voice->Release();
        voice = nullptr;
        if (tokens) tokens->Release();
        if (category) category->Release();
        return false;
      }
      tokens->Release();
      category->Release();
    }
    if (FAILED(voice->Speak(wide(text).c_str(), SPF_DEFAULT, nullptr))) {
      problem = "Kan ikke tale: lyden svigtede";
      return false;
    }
    return true;
  };
}
