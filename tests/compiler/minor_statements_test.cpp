// enum, type, uses and blob as the compiler records them: member values, the type an
// enumeration or alias names, the bytes "uses" and "blob" emit, and the errors they report.
#include "compile_fixture.h"

namespace kelvo::testing {
namespace {

const std::string kHead = "program win32cui 'T'\n";

class MinorStatements : public CompileFixture {
 protected:
  uint32_t constant(const std::string& name) const {
    for (const auto& d : compiler_.listData)
      if (d->dataName == name && d->dataMode == dmConst) return d->dataAddress;
    throw std::runtime_error("no constant " + name);
  }
  std::string typeOf(const std::string& alias) { return compiler_.FindType(alias)->typeName; }
  // The code of `body` inside a procedure of its own.
  std::string bytes(const std::string& body) {
    const std::string error = compile(kHead + "procedure p() {\n" + body + "\n}\n");
    return error.empty() ? code("p") : error;
  }
};

TEST_F(MinorStatements, EnumerationsTheirValuesAndTheTypeTheyName) {
  ASSERT_EQ(compile(kHead +
                    "enum colors { red, green, blue }\n"
                    "enum gaps { a = 5; b, c = 0x20, d }\n"
                    "enum wide { w = 300 }\n"
                    "enum huge { h = 70000 }\n"
                    "enum backwards { big = 300, small = 1 }\n"
                    "enum edge { e255 = 255 }\n"
                    "enum edge2 { e256 = 256 }\n"
                    "enum based : dword { x, y = 0xFFFFFFFF }\n"
                    "enum empty { }\n"),
            "");
  EXPECT_EQ(constant("red"), 0u);
  EXPECT_EQ(constant("green"), 1u);
  EXPECT_EQ(constant("blue"), 2u);
  EXPECT_EQ(constant("b"), 6u);
  EXPECT_EQ(constant("d"), 0x21u);
  EXPECT_EQ(constant("small"), 1u);
  EXPECT_EQ(constant("y"), 0xFFFFFFFFu);
  EXPECT_EQ(typeOf("colors"), "byte");
  EXPECT_EQ(typeOf("gaps"), "byte");
  EXPECT_EQ(typeOf("wide"), "word");
  EXPECT_EQ(typeOf("huge"), "dword");
  EXPECT_EQ(typeOf("backwards"), "word");  // the largest member decides, not the last one
  EXPECT_EQ(typeOf("edge"), "byte");
  EXPECT_EQ(typeOf("edge2"), "word");
  EXPECT_EQ(typeOf("based"), "dword");
  EXPECT_EQ(typeOf("empty"), "byte");
}

TEST_F(MinorStatements, EnumerationErrors) {
  EXPECT_NE(compile(kHead + "enum e : byte { a = 300 }\n").find("[2,23]: Enumeration data type is too small"),
            std::string::npos)
      << printed_;
  EXPECT_NE(compile(kHead + "enum e : byte { a = 255, b }\n").find("Enumeration data type is too small"),
            std::string::npos);
  EXPECT_EQ(compile(kHead + "enum e : byte { a = 255, }\n"), "");  // a trailing separator adds no member
  EXPECT_NE(compile(kHead + "enum e { a = 4294967296 }\n").find("Enumeration data type is too small"),
            std::string::npos);
  EXPECT_NE(compile(kHead + "enum e { a b }\n").find("Expected"), std::string::npos);
  EXPECT_NE(compile(kHead + "enum e { a = red }\n").find("Expected"), std::string::npos);
}

TEST_F(MinorStatements, TypeAliases) {
  ASSERT_EQ(compile(kHead + "type Counter = dword;\ntype small = byte\nCounter n = 5;\nsmall s = 7;\n"), "");
  EXPECT_EQ(typeOf("counter"), "dword");
  EXPECT_EQ(typeOf("small"), "byte");
  EXPECT_NE(compile(kHead + "type t = nothing_known\n").find("Expected"), std::string::npos);
}

TEST_F(MinorStatements, UsesPushesAtOnceAndEveryReturnPops) {
  EXPECT_EQ(bytes("uses ebx esi;\nnop"), "53 56 90 5E 5B C3");
  EXPECT_EQ(bytes("uses edi;\nif (eax == 1) {\n if (ebx == 2) {\n ret\n }\n}\nnop"),
            bytes("push edi\nif (eax == 1) {\n if (ebx == 2) {\n pop edi\n ret\n }\n}\nnop\npop edi"));
  EXPECT_EQ(bytes("uses;\nnop"), "90 C3");
  EXPECT_NE(bytes("uses ebx, esi;").find("Expected"), std::string::npos);
  EXPECT_NE(bytes("uses 5;").find("Expected"), std::string::npos);
  // The list belongs to its procedure: the next one does not pop it.
  ASSERT_EQ(compile(kHead + "procedure p() { uses ebx;\n }\nprocedure q() { nop }\n"), "");
  EXPECT_EQ(code("q"), "90 C3");
}

TEST_F(MinorStatements, BlobBytes) {
  EXPECT_EQ(bytes("blob 1, 0x90;"), "90 C3");
  EXPECT_EQ(bytes("blob 2, 0x1234;"), "34 12 C3");
  EXPECT_EQ(bytes("blob 4, 0x12345678 1, 0xC3;"), "78 56 34 12 C3 C3");
  EXPECT_EQ(bytes("blob ecx 0x58;"), "59 C3");
  EXPECT_EQ(bytes("blob edi;"), "07 C3");
  EXPECT_EQ(bytes("blob 1, 2 + 3 * 4;"), "0E C3");
  EXPECT_EQ(bytes("blob 2, (1 shl 8) + 1 eax 0xC0;"), "01 01 C0 C3");
  EXPECT_EQ(bytes("blob;"), "C3");
}

TEST_F(MinorStatements, BlobErrors) {
  EXPECT_NE(bytes("blob 3, 1;").find("[3,6]: Byte count can only be 1,2 or 4."), std::string::npos);
  EXPECT_NE(bytes("blob 1 2;").find("Expected"), std::string::npos);
  EXPECT_NE(bytes("blob 'x';").find("Invalid parameter \"x\""), std::string::npos);
  EXPECT_NE(bytes("blob 1, (2;").find("does not have a \")\""), std::string::npos);
}

}  // namespace
}  // namespace kelvo::testing
