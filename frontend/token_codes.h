// Token codes shared by the lexer, the statement compiler and the plug-ins.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace kelvo::tk {

// The names come from token_list.def, the one place a code is written down.
enum : uint16_t {
#define KELVO_TOKEN(name, code) name = code,
#define KELVO_WORD(name, code, word) name = code,
#define KELVO_ALIAS(name, word)
#include "frontend/token_list.def"
#undef KELVO_TOKEN
#undef KELVO_WORD
#undef KELVO_ALIAS
};

// A parameter's name: a new word, or one that hides a procedure or data item outside.
inline constexpr std::initializer_list<uint16_t> kParameterNameCodes = {
    Identifier, ProcCall, Constant, LocalVar, LocalParam, Variable};

}  // namespace kelvo::tk
