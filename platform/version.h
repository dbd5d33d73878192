// The compiler's own file version: four numbers set once by the build.
#pragma once
#include <string>

namespace kelvo::platform {
std::string compilerVersion();
}
