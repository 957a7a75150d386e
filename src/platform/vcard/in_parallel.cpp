#include "platform/vcard/in_parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace twinbook::vcard {

namespace {

// Indexes are handed out in runs of this many: few enough that a small
// folder is shared too, and enough that taking a run costs nothing.
constexpr std::size_t kRun = 16;
constexpr unsigned kMostThreads = 4;

}  // namespace

void ForEachIndexInParallel(std::size_t count, const std::function<void(std::size_t)>& work) {
  std::atomic<std::size_t> next{0};
  std::mutex failing;
  std::size_t failedAt = count;
  std::exception_ptr failure;
  const auto takeRuns = [&] {
    for (;;) {
      const std::size_t first = next.fetch_add(kRun);
      if (first >= count) {
        return;
      }
      for (std::size_t i = first; i < std::min(count, first + kRun); ++i) {
        try {
          work(i);
        } catch (...) {
          const std::lock_guard lock(failing);
          if (i < failedAt) {
            failedAt = i;
            failure = std::current_exception();
          }
        }
      }
    }
  };
  const std::size_t runs = (count + kRun - 1) / kRun;
  const unsigned threads = std::min<std::size_t>({std::max(1u, std::thread::hardware_concurrency()),
                                                  kMostThreads, std::max<std::size_t>(runs, 1)});
  std::vector<std::jthread> helpers;
  for (unsigned t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back(takeRuns);
    } catch (const std::system_error&) {
      break;  // this thread takes what the others would have
    }
  }
  takeRuns();
  for (std::jthread& helper : helpers) {
    helper.join();
  }
  if (failure) {
    std::rethrow_exception(failure);
  }
}

}  // namespace twinbook::vcard
