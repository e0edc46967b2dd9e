#pragma once
// The file a download writes: the body goes to "<destination>.part" beside
// the destination, and only a download that has ended well moves it over the
// destination. A failed download thus never destroys the file it would have
// replaced, and what it received stays in the .part file.
#include <cstddef>

// False for a destination that cannot be a file: absent or empty, ending in
// "\" or "/", or naming an existing folder. Checked before anything opens.
bool destination_usable(const char* destination);

class PartFile {
 public:
  PartFile() = default;
  ~PartFile();  // an uncommitted file is closed and left as it is
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  // Creates (or truncates) the .part file of destination.
  bool create(const char* destination);
  // Every byte written, or false.
  bool write(const char* data, size_t length);
  // Closes the .part file and moves it over the destination; false when
  // either step fails, and the destination is then untouched.
  bool commit();

 private:
  void* handle_ = nullptr;
  char* part_name_ = nullptr;
  const char* destination_ = nullptr;
};
