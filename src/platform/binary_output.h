// Standard output kept for a process's binary output alone. The reader process sends its frames
// there, and libmdb, which it runs, prints warnings to standard output now and then: they must not
// land among the frames.
#pragma once

#include <optional>
#include <string_view>

namespace catpub::platform {

class BinaryOutput {
 public:
  // Takes standard output over: the output returned writes where standard output went, unchanged
  // (binary), and standard output itself goes where standard error goes from then on. nullopt when
  // that cannot be done. Once per process; the output stays open until the process ends.
  static std::optional<BinaryOutput> TakeStandardOutput();

  // Writes all of `bytes`, going on after a signal interrupts the write. False when they cannot
  // all be written (whoever read them is gone); what was written stays written.
  bool Write(std::string_view bytes) const;

 private:
  explicit BinaryOutput(int descriptor) : descriptor_(descriptor) {}

  int descriptor_;  // a file descriptor of the C library
};

}  // namespace catpub::platform
