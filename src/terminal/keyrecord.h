// A console key record, as the Windows console reports a key, turned into the bytes a
// terminal sends for it (pure: plain values in, bytes out), so that the line editor reads
// the console as it reads any terminal.
#pragma once

#include <cstdint>
#include <string>

namespace terminal {

// The fields of a key record that matter here, with the console's own codes.
struct KeyRecord {
  bool down = true;
  std::uint16_t key = 0;      // the virtual-key code
  char16_t ch = 0;            // the UTF-16 unit it typed, 0 for none
  std::uint32_t mods = 0;     // the control-key state
  std::uint16_t repeat = 1;   // how many times it was pressed (0 taken as 1)
};

// The codes the translation looks at.
namespace vk {
constexpr std::uint16_t escape = 0x1B, end = 0x23, home = 0x24, left = 0x25, up = 0x26, right = 0x27, down = 0x28,
                        del = 0x2E;
constexpr std::uint32_t rightAlt = 0x1, leftAlt = 0x2, rightCtrl = 0x4, leftCtrl = 0x8;
}  // namespace vk

// Between records: the first half of a UTF-16 surrogate pair, waiting for its second.
struct KeyTranslator {
  char16_t highHalf = 0;
};

// The bytes for a key going down, appended to `out`: the cursor keys as xterm writes them
// (with Ctrl or Alt as modifiers), Delete, Esc whatever character the record holds, a
// character as UTF-8 (a surrogate pair joined, a lone half dropped) with Esc before it for
// Alt (Ctrl and Alt together are AltGr, which types characters of its own), repeated as
// the record says. Ctrl-Z gives nothing: there is no job control to stop the program with.
void translateKey(KeyTranslator& t, const KeyRecord& k, std::string& out);

}  // namespace terminal
