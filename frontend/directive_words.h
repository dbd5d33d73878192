// The words of the compile-time directives.
#pragma once

#include <string>

namespace kelvo {

enum class TDirective {
  unknown, dIf, dElseIf, dElse, dEnd, dRepeat, dReturn, dLocals, dExit, dResource, dInclude, dReinclude,
  dDefine, dUndef, dCallconv, dCpu, dBits, dMmx, dSse, dMode, dRaise, dEcho, dWarning, dDepreciated,
  dRequire, dIfdef, dIfndef,
};

// The directive a lower-case word names; unknown for any other word.
TDirective directiveKind(const std::string& lower);

}  // namespace kelvo
