#include "http/part_file.h"

#include <windows.h>

#include <cstring>

#include "base/heap.h"

namespace {
constexpr char PART_SUFFIX[] = ".part";
}

bool destination_usable(const char* destination) {
  if (!destination || !*destination) return false;
  const char last = destination[std::strlen(destination) - 1];
  if (last == '\\' || last == '/') return false;
  const DWORD attributes = GetFileAttributesA(destination);
  return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// A read-only destination, or one that another handle holds open without
// delete sharing, must not be replaced. The move refuses both on Windows,
// but Wine's replaces them anyway, so the download asks first.
bool destination_replaceable(const char* destination) {
  const DWORD attributes = GetFileAttributesA(destination);
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // nothing to replace
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return false;
  HANDLE probe = CreateFileA(destination, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return false;
  CloseHandle(probe);
  return true;
}

}  // namespace

PartFile::~PartFile() {
  if (handle_) CloseHandle(handle_);
  free_memory(part_name_);
}

bool PartFile::create(const char* destination) {
  const size_t length = std::strlen(destination);
  part_name_ = static_cast<char*>(allocate_memory(length + sizeof PART_SUFFIX, false));
  if (!part_name_) return false;
  std::memcpy(part_name_, destination, length);
  std::memcpy(part_name_ + length, PART_SUFFIX, sizeof PART_SUFFIX);
  destination_ = destination;
  HANDLE handle = CreateFileA(part_name_, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  handle_ = handle;
  return true;
}

bool PartFile::write(const char* data, size_t length) {
  if (!handle_) return false;
  while (length > 0) {
    const DWORD piece = length > (1u << 20) ? (1u << 20) : static_cast<DWORD>(length);
    DWORD written = 0;
    if (!WriteFile(handle_, data, piece, &written, nullptr) || written != piece) return false;
    data += piece;
    length -= piece;
  }
  return true;
}

bool PartFile::commit() {
  if (!handle_) return false;
  const BOOL closed = CloseHandle(handle_);
  handle_ = nullptr;
  // A close that fails may have lost buffered bytes: the file is not whole.
  if (!closed) return false;
  if (!destination_replaceable(destination_)) return false;
  return MoveFileExA(part_name_, destination_, MOVEFILE_REPLACE_EXISTING) != 0;
}
