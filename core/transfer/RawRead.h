#pragma once
#include <cstdint>
#include <string>

// A raw read of Size bytes from the start of the page at PageBase. The
// card's addresses wrap round at its end, so a range past it would fill the
// file's tail with the card's start again and still look complete; an empty
// range would make an empty file and call it done. Empty when the read
// fits, else why not, in one sentence.
std::string RawReadRefusal(uint32_t PageBase, uint32_t Size);
