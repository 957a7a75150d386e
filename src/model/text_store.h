#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "model/record_text.h"

namespace twinbook {

// The longer texts of one set's records, packed into large blocks. A run
// loads three records for every contact, and a name or an e-mail address
// of more than 15 bytes was an allocation of its own: over 100,000
// contacts, hundreds of thousands of allocations at loading and as many
// frees when the sets are emptied, the texts scattered over the heap
// wherever the last run's frees left room. Here they are made and given
// back a block at a time, and lie in the order they were loaded.
//
// Texts are only added; a text a record no longer holds keeps its place
// until the store is cleared.
class TextStore {
 public:
  TextStore() = default;
  TextStore(const TextStore&) = delete;
  TextStore& operator=(const TextStore&) = delete;
  TextStore(TextStore&&) = default;
  TextStore& operator=(TextStore&&) = default;

  // Gives `into` the text `text`: in place when it is short, else borrowing
  // a copy kept here, which stays valid until Clear() or the store's end.
  // `into` must not outlive either (a record of the set keeping the store).
  // Throws std::length_error for a text of 4 GB or more, like RecordText,
  // leaving `into` as it was.
  void Keep(std::string_view text, RecordText& into);

  // Gives back every block. Every text borrowing from them must be gone.
  void Clear() noexcept;

 private:
  static constexpr std::size_t kBlockBytes = 64 * 1024;

  std::vector<std::unique_ptr<char[]>> blocks_;  // filled in turn
  std::vector<std::unique_ptr<char[]>> large_;   // one text each
  std::size_t usedInLastBlock_ = kBlockBytes;
};

}  // namespace twinbook
