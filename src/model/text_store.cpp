#include "model/text_store.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace twinbook {

void TextStore::Keep(std::string_view text, RecordText& into) {
  if (text.size() <= RecordText::kInline) {
    into = RecordText(text);
    return;
  }
  if (text.size() > UINT32_MAX) {
    throw std::length_error("A text of a record is too long");
  }
  char* place = nullptr;
  if (text.size() > kBlockBytes / 4) {
    // A rare long text gets a block of its own, so that the current one
    // goes on filling.
    large_.push_back(std::make_unique_for_overwrite<char[]>(text.size()));
    place = large_.back().get();
  } else {
    // A store moved from has no blocks left, whatever it last used.
    if (blocks_.empty() || kBlockBytes - usedInLastBlock_ < text.size()) {
      blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockBytes));
      usedInLastBlock_ = 0;
    }
    place = blocks_.back().get() + usedInLastBlock_;
    usedInLastBlock_ += text.size();
  }
  std::memcpy(place, text.data(), text.size());
  into.Free();
  into.Point(place, static_cast<std::uint32_t>(text.size()), RecordText::kBorrowed);
}

void TextStore::Clear() noexcept {
  blocks_.clear();
  large_.clear();
  usedInLastBlock_ = kBlockBytes;
}

}  // namespace twinbook
