// What the command line asks of one run.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace kelvo {

struct TCommandLine {
  bool pause = true;
  bool run = false;
  bool writeLog = true;
  std::string sourceFile;  // full path, or empty when the first argument names no file
  std::string outputName;
  std::string includePath;  // ends in a separator when given
  bool includeGiven = false;
};

// Raised for an option whose argument is unusable.
class ECommandLineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Options are read from the second argument up to, but not including, the last one.
TCommandLine parseCommandLine(const std::vector<std::string>& args);

// The output name from the project file: its file name without the extension.
std::string outputNameFromSource(const std::string& sourceFile);

// Seconds from milliseconds as "0.####", always with "." as the separator.
std::string formatSeconds(uint64_t milliseconds);

}  // namespace kelvo
