#pragma once

#include <cstddef>
#include <functional>

namespace twinbook::vcard {

// Calls `work(i)` for every i below `count`, spread over this thread and up
// to three more (one per further core), and returns when every call has
// returned. For work on thousands of cards, each on its own: reading their
// files (mostly system calls) or parsing them. `work` must be safe to call
// from several threads at once.
//
// When calls throw, the exception of the lowest i is rethrown here, once
// every thread has stopped: the same one a walk in order would have met
// first. Calls for higher i may have been made all the same. Without a
// second core, or when no thread can be started, every call is made on this
// thread, in order.
void ForEachIndexInParallel(std::size_t count, const std::function<void(std::size_t)>& work);

}  // namespace twinbook::vcard
