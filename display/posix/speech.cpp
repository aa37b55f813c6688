// Speech on Linux: espeak-ng's Danish voice played through the audio
// library espeak-ng itself uses (pcaudiolib: the sound server, PulseAudio
// or PipeWire, else ALSA), so a refused write is seen. Each call is
// spoken by a process of its own (this program again, `--tal TEXT`):
// espeak-ng keeps one connection to the sound for ever, says nothing when
// its server goes and may wait for it without end, and its audio libraries
// write their complaints to standard error. A process per call finds a
// restarted server, is ended when it has not finished in time, tells what
// failed by its exit status, and has its standard error away from the
// display's terminal.
#include <espeak-ng/espeak_ng.h>
#include <pcaudiolib/audio.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "announcer.hpp"

namespace {

enum Status { kSpoken = 0, kNoVoices = 3, kNoSound = 4, kNoDanish = 5 };

// The longest a call may take: its words (about 75 ms a letter in Danish),
// and the sound server's own time to open and to drain, measured up to 2
// s on a PulseAudio null sink.
std::chrono::milliseconds limitOf(const std::string& text) {
  return std::chrono::milliseconds(3000 + 100 * static_cast<int>(text.size()));
}

}  // namespace

namespace {

// One call's sound on its way: the device, and whether every write went.
struct Playback {
  audio_object* device = nullptr;
  bool broken = false;
};

// espeak-ng hands over each piece of the call as it is made; it goes to
// the device at once. A write the device refused ends the call (1 stops
// the synthesis).
int play(short* samples, int count, espeak_EVENT* events) {
  auto* playback = static_cast<Playback*>(events->user_data);
  if (playback->broken) return 1;
  if (samples != nullptr && count > 0 &&
      audio_object_write(playback->device, samples, static_cast<std::size_t>(count) * 2) != 0) {
    playback->broken = true;
    return 1;
  }
  return 0;
}

}  // namespace

int speakHere(const std::string& text) {
  // Gone with the display, whatever it was doing.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  espeak_ng_InitializePath(nullptr);
  if (espeak_ng_Initialize(nullptr) != ENS_OK) return kNoVoices;
  // The sound is played here, not by espeak-ng's own output: that one
  // writes a refused write's reason to standard error and goes on, so a
  // sound server gone during a call would count as heard.
  if (espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 100, nullptr) != ENS_OK) return kNoVoices;
  if (espeak_ng_SetVoiceByName("da") != ENS_OK) return kNoDanish;
  Playback playback;
  playback.device = create_audio_device_object(nullptr, "morvalis-display", "Kald");
  if (playback.device == nullptr) return kNoSound;
  if (audio_object_open(playback.device, AUDIO_OBJECT_FORMAT_S16LE,
                        static_cast<std::uint32_t>(espeak_ng_GetSampleRate()), 1) != 0) {
    audio_object_destroy(playback.device);
    return kNoSound;
  }
  espeak_SetSynthCallback(play);
  const bool made = espeak_ng_Synthesize(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
                                         espeakCHARS_UTF8, nullptr, &playback) == ENS_OK &&
                    espeak_ng_Synchronize() == ENS_OK;
  const bool heard = made && !playback.broken && audio_object_drain(playback.device) == 0;
  audio_object_close(playback.device);
  audio_object_destroy(playback.device);
  espeak_ng_Terminate();
  return heard ? kSpoken : kNoSound;
}

Announcer::Speak systemSpeech() {
  return [](const std::string& text, std::string& problem) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    // The display's session blocks the ending signals; the voice must not.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (const int s : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGTSTP, SIGTTOU, SIGTTIN}) sigaddset(&defaults, s);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> argv = {const_cast<char*>("morvalis-display"), const_cast<char*>("--tal"),
                               const_cast<char*>(text.c_str()), nullptr};
    pid_t child = -1;
    const int spawned = posix_spawn(&child, "/proc/self/exe", &files, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
      problem = "Kan ikke tale: " + std::string(std::strerror(spawned));
      return false;
    }
    const auto until = std::chrono::steady_clock::now() + limitOf(text);
    int status = 0;
    for (;;) {
      const pid_t done = ::waitpid(child, &status, WNOHANG);
      if (done == child) break;
      if (done < 0 && errno != EINTR) {
        problem = "Kan ikke tale: ingen lyd";
        return false;
      }
      if (std::chrono::steady_clock::now() >= until) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        problem = "Kan ikke tale: talesyntesen svarer ikke";
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    switch (code) {
      case kSpoken:
        return true;
      case kNoVoices:
        problem = "Kan ikke tale: ingen stemmer (espeak-ng)";
        return false;
      case kNoDanish:
        problem = "Kan ikke tale: ingen dansk stemme";
        return false;
      default:
        problem = "Kan ikke tale: ingen lyd";
        return false;
    }
  };
}
