// Speech on Linux: espeak-ng's Danish voice through its own audio output
// (the sound server, PulseAudio or PipeWire, else ALSA). Each call is
// spoken by a process of its own (this program again, `--tal TEXT`):
// espeak-ng keeps one connection to the sound for ever, says nothing when
// its server goes and may wait for it without end, and its audio libraries
// write their complaints to standard error. A process per call finds a
// restarted server, is ended when it has not finished in time, tells what
// failed by its exit status, and has its standard error away from the
// display's terminal.
#include <espeak-ng/espeak_ng.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
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

int speakHere(const std::string& text) {
  // Gone with the display, whatever it was doing.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  espeak_ng_InitializePath(nullptr);
  if (espeak_ng_Initialize(nullptr) != ENS_OK) return kNoVoices;
  if (espeak_ng_InitializeOutput(
          static_cast<espeak_ng_OUTPUT_MODE>(ENOUTPUT_MODE_SPEAK_AUDIO | ENOUTPUT_MODE_SYNCHRONOUS), 0,
          nullptr) != ENS_OK) {
    return kNoSound;
  }
  if (espeak_ng_SetVoiceByName("da") != ENS_OK) return kNoDanish;
  if (espeak_ng_Synthesize(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                           nullptr, nullptr) != ENS_OK ||
      espeak_ng_Synchronize() != ENS_OK) {
    return kNoSound;
  }
  espeak_ng_Terminate();
  return kSpoken;
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
