#include "escpos_reader.hpp"

#include "code_page.hpp"

std::string Paper::text() const {
  std::string out;
  for (const PrintedLine& line : lines) out += line.text + "\n";
  return out;
}

std::string Paper::largest() const {
  const PrintedLine* best = nullptr;
  for (const PrintedLine& line : lines) {
    if (!line.text.empty() && (!best || line.width * line.height > best->width * best->height)) {
      best = &line;
    }
  }
  return best ? best->text : "";
}

Paper readEscPos(const std::string& bytes) {
  Paper paper;
  PrintedLine current;
  const auto arg = [&bytes](std::size_t at) {
    return at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : -1;
  };
  const auto fail = [&paper](const std::string& why) {
    paper.understood = false;
    paper.problem = why;
    return paper;
  };
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b == '\n') {
      paper.lines.push_back(current);
      current.text.clear();
    } else if (b == 0x1B) {  // ESC
      const int command = arg(i + 1);
      if (command == '@') {
        current = PrintedLine{};
        i += 1;
      } else if (command == 't' || command == 'a' || command == 'E') {
        const int n = arg(i + 2);
        if (n < 0) return fail("ESC without its argument");
        if (command == 't') paper.codePage = n;
        if (command == 'a') current.centred = n == 1;
        if (command == 'E') current.bold = n == 1;
        i += 2;
      } else {
        return fail("unknown ESC " + std::to_string(command));
      }
    } else if (b == 0x1D) {  // GS
      const int command = arg(i + 1);
      if (command == '!') {
        const int n = arg(i + 2);
        current.width = ((n >> 4) & 7) + 1;
        current.height = (n & 7) + 1;
        i += 2;
      } else if (command == 'V') {
        const int m = arg(i + 2);
        if (m == 65 || m == 66) {
          for (int k = 0; k < arg(i + 3); ++k) paper.lines.push_back(PrintedLine{});
          i += 3;
        } else {
          i += 2;
        }
        ++paper.cuts;
      } else {
        return fail("unknown GS " + std::to_string(command));
      }
    } else if (b == 0x10 && arg(i + 1) == 0x04) {  // DLE EOT n: a question, prints nothing
      i += 2;
    } else if (b < 0x20 || b == 0x7F) {
      return fail("control byte " + std::to_string(b) + " in the text");
    } else {
      appendUtf8(current.text, glyphOf(b));
    }
  }
  if (!current.text.empty()) paper.lines.push_back(current);
  return paper;
}
