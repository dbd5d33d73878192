// Compiles a project from text with the real compiler state, for tests that look inside it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "frontend/compiler.h"
#include "tests/hex_text.h"

namespace kelvo::testing {

class CompileFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("kelvo-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
    writeFile("system.kel", "");
  }
  void TearDown() override {
    compiler_.Free();
    std::filesystem::remove_all(folder_);
  }

  void writeFile(const std::string& name, const std::string& text) {
    std::ofstream(folder_ / name, std::ios::binary) << text;
  }

  // Compiles `source` as the project, in a fresh state; returns the reported error text,
  // empty on success.
  std::string compile(const std::string& source) {
    compiler_.Free();
    writeFile("test.kpr", source);
    compiler_.Settings.writeLog = false;
    compiler_.Init();
    ::testing::internal::CaptureStdout();
    std::string error;
    try {
      compiler_.AddFile((folder_ / "test.kpr").string(), -1);
      compiler_.Compile("test");
    } catch (const std::exception& e) {
      error = e.what();
    }
    printed_ = ::testing::internal::GetCapturedStdout();
    if (error == kSilentAbort) error = printed_;  // reported through the console
    return error;
  }

  // The code bytes of a procedure, as hex text "55 8B EC".
  std::string code(const std::string& procName) const {
    for (const auto& p : compiler_.listProcedures)
      if (p->Name == procName) return hex(p->recAssembler.strCode);
    return "<no procedure " + procName + ">";
  }

  const TFunction& proc(const std::string& name) const {
    for (const auto& p : compiler_.listProcedures)
      if (p->Name == name) return *p;
    throw std::runtime_error("no procedure " + name);
  }

  TCompiler compiler_;
  std::filesystem::path folder_;
  std::string printed_;  // what the last compile printed: warnings, progress lines
};

}  // namespace kelvo::testing
