// What the encoder needs from whoever runs it: where a bad operand is reported, and the
// processor level in force. The compiler wires both in when it starts; the encoder used on its
// own reports through an exception and assumes a 386.
#pragma once

#include <cstdint>
#include <stdexcept>

namespace kelvo {

struct TEncoderHost {
  // Reports `message` and does not return (the compiler ends the build through it).
  using TReport = void (*)(void* context, const char* message);
  TReport report = nullptr;
  void* context = nullptr;
  const int32_t* cpuLevel = nullptr;  // the level the "cpu" directive selected; none: 386
  const bool* mmx = nullptr;          // the "mmx" and "sse" switches; none: on
  const bool* sse = nullptr;
};

// A bad operand, when no host reports it.
class EEncoderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void SetEncoderHost(const TEncoderHost& host);
// Takes the host away if `context` is still the one wired in.
void ClearEncoderHost(const void* context);

// Reports a bad operand through the host and never returns.
[[noreturn]] void EncoderError(const char* message);
// The processor level in force (386 without a host).
int32_t CurrentCPULevel();
// Whether MMX and SSE instructions are allowed (both without a host).
bool MmxEnabled();
bool SseEnabled();

}  // namespace kelvo
