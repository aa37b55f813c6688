#include "key_decoder.hpp"

#include "code_page.hpp"
#include "key_table.hpp"

namespace {

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kBel = 0x07;
constexpr std::uint8_t kCan = 0x18;
constexpr std::uint8_t kSub = 0x1A;

bool isIntermediate(std::uint8_t byte) {
  return byte >= 0x20 && byte <= 0x2F;
}
bool isParameter(std::uint8_t byte) {
  return byte >= 0x30 && byte <= 0x3F;
}
bool isFinal(std::uint8_t byte) {
  return byte >= 0x40 && byte <= 0x7E;
}
// The introducers of the control strings: OSC, DCS, SOS, PM, APC.
bool isStringIntroducer(std::uint8_t byte) {
  return byte == ']' || byte == 'P' || byte == 'X' || byte == '^' || byte == '_';
}

}  // namespace

KeyDecoder::Wait KeyDecoder::wait() const {
  switch (state_) {
    case State::Ground:
      return Wait::Forever;
    case State::Escape:
    case State::EscapeEscape:
    case State::Nf:
      return Wait::Short;
    case State::String:
      // A terminal sends a control string in one piece; a bare "ESC ]" that
      // stays alone is a key typed with Alt.
      return length_ == 0 ? Wait::Short : Wait::Long;
    default:
      return Wait::Long;
  }
}

std::vector<std::string> KeyDecoder::takeReplies() {
  std::vector<std::string> taken;
  taken.swap(replies_);
  return taken;
}

void KeyDecoder::reset() {
  state_ = State::Ground;
  alt_ = false;
  introducer_ = 0;
  sequence_.clear();
  length_ = 0;
}

void KeyDecoder::start(State state, std::uint8_t introducer) {
  state_ = state;
  introducer_ = introducer;
  sequence_.clear();
  length_ = 0;
}

void KeyDecoder::keep(std::uint8_t byte) {
  if (sequence_.size() < kMaxSequence) sequence_ += static_cast<char>(byte);
  ++length_;
}

void KeyDecoder::keepReply(const std::string& reply) {
  if (length_ <= kMaxSequence && replies_.size() < kMaxReplies) replies_.push_back(reply);
}

void KeyDecoder::feed(std::uint8_t byte, std::vector<int>& out) {
  switch (state_) {
    case State::Ground:
      return ground(byte, out);
    case State::Escape:
      return escape(byte, out);
    case State::EscapeEscape:
      return escapeEscape(byte, out);
    case State::Csi:
      return csi(byte, out);
    case State::Ss3:
      return ss3(byte, out);
    case State::LinuxFn:
      return linuxFn(byte, out);
    case State::Nf:
      return nf(byte, out);
    case State::String:
      return controlString(byte, out);
    case State::StringEscape:
      return stringEscape(byte, out);
    case State::Utf8:
      return utf8(byte, out);
  }
}

void KeyDecoder::timeout(std::vector<int>& out) {
  const bool bare = length_ == 0;
  switch (state_) {
    case State::Escape:
      out.push_back(27);
      break;
    case State::EscapeEscape:
      out.push_back(27);
      out.push_back(27);
      break;
    case State::Csi:
    case State::Ss3:
    case State::String:
    case State::Nf:
      // An introducer and then silence: the user typed Alt with that key.
      if (bare) {
        if (alt_) out.push_back(27);
        keys::altKey(introducer_, out);
      }
      break;
    default:
      break;  // a sequence or character cut short: dropped
  }
  reset();
}

void KeyDecoder::interrupt(std::uint8_t byte, std::vector<int>& out) {
  reset();
  if (byte != kCan && byte != kSub) ground(byte, out);
}

void KeyDecoder::ground(std::uint8_t byte, std::vector<int>& out) {
  if (byte == kEsc) {
    state_ = State::Escape;
  } else if (byte == 0x7F) {
    out.push_back(8);  // what terminals send for Backspace
  } else if (byte == 0x00) {
    out.push_back(0);  // Ctrl+Space: 0, 3
    out.push_back(3);
  } else if (byte < 0x80) {
    out.push_back(byte);
  } else {
    startUtf8(byte);
  }
}

void KeyDecoder::escape(std::uint8_t byte, std::vector<int>& out) {
  if (byte == kEsc) {
    state_ = State::EscapeEscape;
  } else if (byte == '[') {
    start(State::Csi, byte);
  } else if (byte == 'O') {
    start(State::Ss3, byte);
  } else if (isStringIntroducer(byte)) {
    start(State::String, byte);
  } else if (isIntermediate(byte)) {
    start(State::Nf, byte);
  } else if (byte >= 0x80) {
    alt_ = true;  // Alt with a character outside ASCII: no entry, dropped
    startUtf8(byte);
  } else {
    keys::altKey(byte, out);
    reset();
  }
}

void KeyDecoder::escapeEscape(std::uint8_t byte, std::vector<int>& out) {
  if (byte == '[' || byte == 'O') {
    start(byte == '[' ? State::Csi : State::Ss3, byte);
    alt_ = true;  // rxvt's Alt: ESC before the key's own sequence
    return;
  }
  // The first ESC was the Escape key; the second begins something new.
  out.push_back(27);
  state_ = State::Escape;
  escape(byte, out);
}

void KeyDecoder::csi(std::uint8_t byte, std::vector<int>& out) {
  if (byte == '[' && length_ == 0) {
    state_ = State::LinuxFn;
    return;
  }
  // rxvt ends its Shift forms with '$', which the standard counts as an
  // intermediate byte; after nothing but digits it is a final here.
  const bool rxvtShift = byte == '$' && length_ > 0 && length_ <= kMaxSequence &&
                         sequence_.find_first_not_of("0123456789") == std::string::npos;
  if (isFinal(byte) || rxvtShift) {
    const bool privateMarker = length_ > 0 && sequence_[0] >= '<' && sequence_[0] <= '?';
    if (privateMarker) {
      keepReply("\x1b[" + sequence_ + static_cast<char>(byte));
    } else if (length_ <= kMaxSequence) {
      keys::csiKey(sequence_, static_cast<char>(byte), alt_, out);
    }
    return reset();
  }
  if (isParameter(byte) || isIntermediate(byte)) return keep(byte);
  interrupt(byte, out);
}

void KeyDecoder::ss3(std::uint8_t byte, std::vector<int>& out) {
  if (byte >= '0' && byte <= '9') return keep(byte);
  // SS3 takes one character after its optional modifier digits.
  if (byte >= 0x20 && byte <= 0x7E) {
    if (length_ <= kMaxSequence) keys::ss3Key(sequence_, static_cast<char>(byte), alt_, out);
    return reset();
  }
  interrupt(byte, out);
}

void KeyDecoder::linuxFn(std::uint8_t byte, std::vector<int>& out) {
  if (byte >= 0x20 && byte <= 0x7E) {
    keys::linuxFunctionKey(static_cast<char>(byte), alt_, out);
    return reset();
  }
  interrupt(byte, out);
}

void KeyDecoder::nf(std::uint8_t byte, std::vector<int>& out) {
  if (isIntermediate(byte)) return keep(byte);
  if (byte >= 0x30 && byte <= 0x7E) return reset();  // ESC ( B and the like: consumed
  interrupt(byte, out);
}

void KeyDecoder::controlString(std::uint8_t byte, std::vector<int>& out) {
  if (byte == kEsc) {
    state_ = State::StringEscape;
  } else if (byte == kBel && introducer_ == ']') {
    reset();
  } else if (byte == kCan || byte == kSub) {
    reset();
  } else if (length_ >= kMaxControlString) {
    // Never ended: abandoned, and what follows is read as keys again.
    interrupt(byte, out);
  } else {
    keep(byte);
  }
}

void KeyDecoder::stringEscape(std::uint8_t byte, std::vector<int>& out) {
  if (byte == '\\') {  // ST
    if (introducer_ == 'P') keepReply("\x1bP" + sequence_);
    return reset();
  }
  // Any other escape ends the string unfinished and begins anew. A second
  // ESC is that new beginning itself: the first was the cut string's own.
  reset();
  state_ = State::Escape;
  if (byte != kEsc) escape(byte, out);
}

void KeyDecoder::startUtf8(std::uint8_t byte) {
  if (byte >= 0xC2 && byte <= 0xDF) {
    codePoint_ = byte & 0x1F;
    continuationBytes_ = 1;
    minimum_ = 0x80;
  } else if (byte >= 0xE0 && byte <= 0xEF) {
    codePoint_ = byte & 0x0F;
    continuationBytes_ = 2;
    minimum_ = 0x800;
  } else if (byte >= 0xF0 && byte <= 0xF4) {
    codePoint_ = byte & 0x07;
    continuationBytes_ = 3;
    minimum_ = 0x10000;
  } else {
    return reset();  // not a lead byte: dropped
  }
  state_ = State::Utf8;
}

void KeyDecoder::utf8(std::uint8_t byte, std::vector<int>& out) {
  if ((byte & 0xC0) != 0x80) return interrupt(byte, out);
  codePoint_ = (codePoint_ << 6) | (byte & 0x3F);
  if (--continuationBytes_ > 0) return;
  const bool alt = alt_;
  const char32_t c = codePoint_;
  reset();
  const bool broken = c < minimum_ || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF);
  const bool c1Control = c >= 0x80 && c <= 0x9F;
  if (alt || broken || c1Control) return;
  // A character the code page lacks arrives as '?', as a console with a
  // single-byte code page delivers it.
  const auto b = byteOf(c);
  out.push_back(b ? static_cast<signed char>(*b) : '?');
}
