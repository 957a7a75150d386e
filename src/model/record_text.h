#pragma once

#include <compare>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace twinbook {

// One text of a SyncObject, in 16 bytes instead of a string's 32: a run
// holds three records of twenty-one texts for every contact, most of them
// empty or short. A text of up to 15 bytes (a number, an ID, a speed dial,
// a flag, most names) is kept in place; a longer one on the heap.
//
// It reads as the text it holds, like a std::string_view of it, and takes
// any text in assignment. Copies are deep. Like a string, it may hold any
// bytes, NUL included; the empty text means "no value".
//
// A longer text may also borrow its bytes from a TextStore (see
// text_store.h), which a set of records keeps for their texts. Such a text
// never outlives its store: copying or moving it makes a text of its own.
class RecordText {
 public:
  RecordText() noexcept { SetInlineSize(0); }
  RecordText(std::string_view text) { Assign(text); }  // NOLINT: reads as the text
  RecordText(const std::string& text) : RecordText(std::string_view(text)) {}
  RecordText(const char* text) : RecordText(std::string_view(text)) {}
  RecordText(const RecordText& other) { Assign(other.view()); }
  // Moving a borrowed text copies it: only running out of memory, which
  // ends the program here, could make that fail.
  RecordText(RecordText&& other) noexcept { TakeFrom(other); }
  ~RecordText() { Free(); }

  RecordText& operator=(const RecordText& other) {
    if (this != &other) {
      RecordText copy(other);
      *this = std::move(copy);
    }
    return *this;
  }
  RecordText& operator=(RecordText&& other) noexcept {
    if (this != &other) {
      Free();
      TakeFrom(other);
    }
    return *this;
  }
  RecordText& operator=(std::string_view text) { return *this = RecordText(text); }
  RecordText& operator=(const std::string& text) { return *this = RecordText(text); }
  RecordText& operator=(const char* text) { return *this = RecordText(text); }

  std::string_view view() const noexcept {
    return IsHeap()
               ? std::string_view(HeapData(), HeapSize())
               : std::string_view(bytes_, kInline - static_cast<unsigned char>(bytes_[kInline]));
  }
  operator std::string_view() const noexcept { return view(); }
  // Where a string is needed: a copy.
  operator std::string() const { return std::string(view()); }
  std::string str() const { return std::string(view()); }

  bool empty() const noexcept { return view().empty(); }
  std::size_t size() const noexcept { return view().size(); }
  void clear() noexcept { *this = RecordText(); }

  friend bool operator==(const RecordText& a, const RecordText& b) noexcept {
    return a.view() == b.view();
  }
  friend bool operator==(const RecordText& a, std::string_view b) noexcept { return a.view() == b; }
  friend bool operator==(const RecordText& a, const std::string& b) noexcept {
    return a.view() == b;
  }
  friend bool operator==(const RecordText& a, const char* b) noexcept { return a.view() == b; }
  friend auto operator<=>(const RecordText& a, const RecordText& b) noexcept {
    return a.view() <=> b.view();
  }

  friend std::string operator+(std::string a, const RecordText& b) { return a.append(b.view()); }
  friend std::string operator+(const char* a, const RecordText& b) {
    return std::string(a).append(b.view());
  }
  friend std::string operator+(const RecordText& a, std::string_view b) {
    return a.str().append(b);
  }
  friend std::string operator+(const RecordText& a, const std::string& b) {
    return a.str().append(b);
  }
  friend std::string operator+(const RecordText& a, const char* b) { return a.str().append(b); }

 private:
  friend class TextStore;

  static constexpr std::size_t kInline = 15;
  // The last byte tells the form: 15 minus the size for a text in place
  // (so 0, a NUL, after a full 15 bytes), kHeap for one on the heap that it
  // owns, kBorrowed for one kept by a TextStore.
  static constexpr unsigned char kHeap = 0xFF;
  static constexpr unsigned char kBorrowed = 0xFE;

  // On the heap, the first 8 bytes hold the pointer and the next 4 the size.
  char* HeapData() const noexcept {
    char* data;
    std::memcpy(&data, bytes_, sizeof data);
    return data;
  }
  std::uint32_t HeapSize() const noexcept {
    std::uint32_t size;
    std::memcpy(&size, bytes_ + sizeof(char*), sizeof size);
    return size;
  }

  // On the heap, owned or borrowed.
  bool IsHeap() const noexcept { return static_cast<unsigned char>(bytes_[kInline]) >= kBorrowed; }
  bool IsBorrowed() const noexcept {
    return static_cast<unsigned char>(bytes_[kInline]) == kBorrowed;
  }
  void SetInlineSize(std::size_t size) noexcept {
    bytes_[kInline] = static_cast<char>(kInline - size);
  }

  void Assign(std::string_view text) {
    if (text.size() <= kInline) {
      std::memcpy(bytes_, text.data(), text.size());
      SetInlineSize(text.size());
      return;
    }
    if (text.size() > UINT32_MAX) {
      throw std::length_error("A text of a record is too long");
    }
    char* data = new char[text.size()];
    std::memcpy(data, text.data(), text.size());
    Point(data, static_cast<std::uint32_t>(text.size()), kHeap);
  }
  void Point(const char* data, std::uint32_t size, unsigned char form) noexcept {
    std::memcpy(bytes_, &data, sizeof data);
    std::memcpy(bytes_ + sizeof(char*), &size, sizeof size);
    bytes_[kInline] = static_cast<char>(form);
  }
  void Free() noexcept {
    if (static_cast<unsigned char>(bytes_[kInline]) == kHeap) {
      delete[] HeapData();
    }
  }
  void TakeFrom(RecordText& other) noexcept {
    if (other.IsBorrowed()) {
      Assign(other.view());
      return;
    }
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    other.SetInlineSize(0);
  }

  alignas(char*) char bytes_[kInline + 1];
};

static_assert(sizeof(RecordText) == 16);

}  // namespace twinbook
