#include "machine/engines/copied_words.h"

#include <cstring>

void clear_code_words_copied() {
  for (int page = 0; page < kCodePages; ++page) {
    if (code_pages.copied[page]) std::memset(code_word_copied + page * 1024, 0, 1024);
  }
}
