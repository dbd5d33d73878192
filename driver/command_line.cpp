#include "driver/command_line.h"

#include <charconv>

#include "platform/system.h"

namespace kelvo {

static void readHandle(const std::string& text) {
  long long value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end)
    throw ECommandLineError("\"" + text + "\" is not a valid integer for -handle");
}

TCommandLine parseCommandLine(const std::vector<std::string>& args) {
  TCommandLine cl;
  if (args.size() > 1 && platform::fileExists(args[1])) cl.sourceFile = platform::fullPath(args[1]);
  // args[0] is the compiler; the last argument is never examined as an option.
  for (size_t i = 2; i + 1 < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "-out") {
      cl.outputName = args[++i];
    } else if (word == "-i") {
      cl.includePath = args[++i] + "\\";
      cl.includeGiven = true;
    } else if (word == "-nopause") {
      cl.pause = false;
    } else if (word == "-nolog") {
      cl.writeLog = false;
    } else if (word == "-run") {
      cl.run = true;
    } else if (word == "-handle") {
      readHandle(args[++i]);
      cl.pause = false;
    }
  }
  return cl;
}

std::string outputNameFromSource(const std::string& sourceFile) {
  size_t cut = sourceFile.size();
  while (cut > 0 && !platform::isSeparator(sourceFile[cut - 1])) --cut;
  std::string name = sourceFile.substr(cut);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

std::string formatSeconds(uint64_t milliseconds) {
  std::string text = std::to_string(milliseconds / 1000);
  uint64_t fraction = milliseconds % 1000;
  if (fraction == 0) return text;
  std::string digits = std::to_string(1000 + fraction).substr(1);
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  return text + "." + digits;
}

}  // namespace kelvo
