#pragma once

#include <string>

namespace vintrel {

// Mnemonic text of a 14-bit program word ("???" for a word the set does not define).
std::string Disassemble(int word);

}  // namespace vintrel
