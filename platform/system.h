// Process, file-system and shell services of the host.
#pragma once
#include <cstdint>
#include <string>

namespace kelvo::platform {

// Windows writes paths with "\"; both separators are accepted everywhere.
constexpr char kPathSeparator = '/';
bool isSeparator(char c);
std::string toHostPath(const std::string& path);

void raiseThreadPriority();
uint64_t tickCount();  // milliseconds of a steady clock
std::string executableFolder();  // with its trailing separator
bool fileExists(const std::string& path);  // a regular file
bool isAbsolutePath(const std::string& path);
std::string fullPath(const std::string& path);
bool changeDirectory(const std::string& folder);
// Local date and time on one line, for the log header.
std::string localDateTime();
// Starts a built program without waiting for it; false when no way to start it exists.
bool openDetached(const std::string& program, std::string& why);

}  // namespace kelvo::platform
