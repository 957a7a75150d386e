#pragma once

#include <cstddef>
#include <functional>

namespace twinbook::vcard {

// Calls `work(i)` once for every i below `count`, spread over this thread and
// up to three more (one per further core), and returns when every call has
// returned. Reading thousands of small files is mostly system calls, which
// run side by side on as many cores as there are.
//
// `work` must not throw and must be safe to call from several threads at
// once. Without a second core, or when no thread can be started, every call
// is made on this thread, in order.
void ForEachIndexInParallel(std::size_t count, const std::function<void(std::size_t)>& work);

}  // namespace twinbook::vcard
