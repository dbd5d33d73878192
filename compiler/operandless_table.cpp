#include "compiler/operandless_table.h"

#include <array>

namespace kelvo {

namespace {

struct TOperandless {
  uint16_t code;
  std::string_view bytes;
};

// The "w" string forms, cbw/cwd and iretd carry the 66 prefix whatever the code's bit mode.
constexpr TOperandless kOperandless[] = {
    {400, "\x37"},         {401, "\xD5\x0A"},     {402, "\xD4\x0A"},     {403, "\x3F"},
    {417, "\x66\x98"},     {418, "\x66\x99"},     {419, "\x98"},         {420, "\x99"},
    {421, "\xF8"},         {422, "\xFC"},         {423, "\xFA"},         {424, "\x0F\x06"},
    {425, "\xF5"},         {427, "\xA6"},         {428, "\x66\xA7"},     {429, "\xA7"},
    {430, "\x0F\xA2"},     {432, "\x27"},         {433, "\x2F"},         {436, "\x0F\x77"},
    {439, "\x0F\x0E"},     {440, "\xF4"},         {445, "\x6C"},         {446, "\x66\x6D"},
    {450, "\x6D"},         {448, "\xCE"},         {449, "\x0F\x08"},     {452, "\xCF"},
    {552, "\x66\xCF"},     {453, "\x9F"},         {457, "\xC9"},         {465, "\xF0"},
    {466, "\xAC"},         {467, "\x66\xAD"},     {468, "\xAD"},         {476, "\xA4"},
    {477, "\x66\xA5"},     {478, "\xA5"},         {483, "\x90"},         {487, "\x6E"},
    {488, "\x66\x6F"},     {489, "\x6F"},         {491, "\x61"},         {492, "\x9D"},
    {494, "\x60"},         {495, "\x9C"},         {498, "\xF3"},         {499, "\xF2"},
    {504, "\x9E"},         {505, "\xD6"},         {508, "\xAE"},         {509, "\x66\xAF"},
    {510, "\xAF"},         {536, "\xF9"},         {537, "\xFD"},         {538, "\xFB"},
    {539, "\xAA"},         {540, "\x66\xAB"},     {541, "\xAB"},         {547, "\x9B"},
    {548, "\x0F\x09"},     {550, "\xD7"},
    // x87
    {300, "\xD9\xF0"},     {301, "\xD9\xE1"},     {306, "\xD9\xE0"},     {307, "\x9B\xDB\xE2"},
    {312, "\xDE\xD9"},     {313, "\xD9\xFF"},     {314, "\xD9\xF6"},     {327, "\xD9\xF7"},
    {328, "\x9B\xDB\xE3"}, {334, "\xD9\xE8"},     {337, "\xD9\xEA"},     {338, "\xD9\xE9"},
    {339, "\xD9\xEC"},     {340, "\xD9\xED"},     {341, "\xD9\xEB"},     {342, "\xD9\xEE"},
    {345, "\xDB\xE2"},     {346, "\xDB\xE3"},     {347, "\xD9\xD0"},     {352, "\xD9\xF3"},
    {353, "\xD9\xF8"},     {354, "\xD9\xF5"},     {355, "\xD9\xF2"},     {356, "\xD9\xFC"},
    {359, "\xD9\xFD"},     {360, "\xD9\xFE"},     {361, "\xD9\xFB"},     {362, "\xD9\xFA"},
    {372, "\xD9\xE4"},     {377, "\xDA\xE9"},     {379, "\xD9\xE5"},     {381, "\xD9\xF4"},
    {382, "\xD9\xF1"},     {383, "\xD9\xF9"},
};

constexpr size_t kCodeLimit = 700;

// Indexed by token code, so the block compiler finds an entry in one step.
constexpr std::array<std::string_view, kCodeLimit> buildIndex() {
  std::array<std::string_view, kCodeLimit> index{};
  for (const TOperandless& row : kOperandless) index[row.code] = row.bytes;
  return index;
}

constexpr auto kIndex = buildIndex();

}  // namespace

std::string_view OperandlessBytes(uint16_t code) {
  return code < kCodeLimit ? kIndex[code] : std::string_view();
}

}  // namespace kelvo
