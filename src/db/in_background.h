// Work handed to a thread of its own, for when its result is needed later.
#pragma once

#include <future>
#include <system_error>
#include <type_traits>

namespace catpub::db {

// Runs `work` on a thread of its own; with no thread to spare, when the result is asked for.
template <typename Work>
std::future<std::invoke_result_t<Work>> InBackground(Work work) {
  try {
    return std::async(std::launch::async, std::move(work));
  } catch (const std::system_error&) {
    return std::async(std::launch::deferred, std::move(work));
  }
}

}  // namespace catpub::db
