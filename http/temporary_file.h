#pragma once
// The file a download writes: the body goes to a temporary file of its own
// beside the destination, and only a download that has ended well puts it in
// place of the destination. A failed download removes it again, so it leaves
// the folder exactly as it found it.
#include <cstddef>
#include <cstdint>

// False for a destination that cannot be a file: absent or empty, ending in
// "\" or "/", or naming an existing folder. Checked before anything opens.
bool destination_usable(const char* destination);

class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile();  // a file not put in place is closed and removed
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Creates a new file in the destination's folder under a name that no
  // file there has (never opening an existing one) and that is not the
  // destination's own. The names tried start from a draw that differs
  // between downloads; a test may give the first draw itself.
  bool create(const char* destination);
  bool create(const char* destination, uint64_t first_draw);
  // Every byte written, or false.
  bool write(const char* data, size_t length);
  // Flushes the file to disk, closes it and puts it in place of the
  // destination: a new destination by a written-through move, an existing
  // one by the platform's replace, keeping what the user set on the old
  // file. False when any step fails; the destination is then untouched.
  bool commit();
  // Why the last step failed: the platform's error code (ERROR_FILE_READ_ONLY
  // for a read-only destination, ERROR_SHARING_VIOLATION for one held open
  // by another program), 0 when none was given.
  unsigned long error() const { return error_; }

 private:
  bool failed();  // notes the platform's error; false
  bool move_to_destination();
  bool replace_destination(unsigned long old_attributes);

  void* handle_ = nullptr;
  char* path_ = nullptr;        // on the program heap
  bool owns_path_ = false;      // a file of ours stands under path_
  const char* destination_ = nullptr;
  unsigned long error_ = 0;
};
