// A compiler state for unit tests, with the test environment's names and one source text.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "frontend/compiler.h"
#include "tests/frontend/lexer_env.h"

namespace kelvo::testing {

class FrontEnd : public ::testing::Test {
 protected:
  TCompiler c;
  void SetUp() override { setUpLexerEnvironment(c); }
  void TearDown() override { c.Free(); }
  void source(const std::string& text, const std::string& name = "main.kpr") { useSource(c, name, text); }
  // The report that Error prints, or the message that RaiseError carries.
  std::string printedBy(const std::function<void()>& action) {
    ::testing::internal::CaptureStdout();
    std::string thrown;
    try {
      action();
    } catch (const ECompileError& e) {
      thrown = e.what();
    }
    return ::testing::internal::GetCapturedStdout() + "|" + thrown;
  }
};

}  // namespace kelvo::testing
