#include "machine/engines/copied_words.h"

#include <cstring>

uint8_t code_word_copied[kCodeWords];

void clear_code_words_copied() {
  for (int page = 0; page < kCodePages; ++page) {
    if (code_page_copied[page]) std::memset(code_word_copied + page * 1024, 0, 1024);
  }
}
