// Reading a compiled Win32 resource file (.res) into the resource store.
#pragma once

#include <string>
#include <string_view>

#include "output/resource_store.h"

namespace kelvo {

// The messages for entries whose type or name is a text rather than a number.
extern const char* const kResTypeNotSupported;
extern const char* const kResNameNotSupported;
// The head of the message for a resource of the same type, id and language as one before it.
extern const char* const kResDuplicate;

// Walks the entries of `file` and adds each to `store`. Every header and size is checked
// against the file before it is read. Result: empty on success, else what is wrong (the messages
// above, or a description of the damage with the entry's offset). Nothing is added
// to the store when the file is rejected.
std::string ReadResFile(std::string_view file, TResMan& store);

}  // namespace kelvo
