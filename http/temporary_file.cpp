#include "http/temporary_file.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "base/heap.h"
#include "http/temporary_name.h"

namespace {

// Names are tried from a point that differs between downloads and processes,
// so two downloads into one folder rarely meet; a taken name costs one more
// try. Names of one or two digits are all tried.
constexpr uint64_t MOST_TRIES = 256;

// What the user set on an old file that a replacing download keeps.
constexpr DWORD CARRIED_ATTRIBUTES = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

uint64_t first_name_draw() {
  static volatile LONG downloads = 0;  // downloads may run on several threads
  const auto turn = static_cast<uint32_t>(InterlockedIncrement(&downloads));
  return (static_cast<uint64_t>(GetCurrentProcessId()) * 2654435761u) ^ GetTickCount() ^ (turn * 40503u);
}

bool name_taken(DWORD error) {
  // A folder of that name, or a file being deleted, refuses as well.
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
}

// A read-only destination, or one that another handle holds open without
// delete sharing, must not be replaced. The platform refuses both on
// Windows, but Wine's replaces them anyway, so the download asks first.
// The platform's error afterwards says which it was.
bool destination_replaceable(const char* destination, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    SetLastError(ERROR_FILE_READ_ONLY);
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    SetLastError(ERROR_DIRECTORY);
    return false;
  }
  HANDLE probe = CreateFileA(destination, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return false;
  CloseHandle(probe);
  return true;
}

}  // namespace

bool destination_usable(const char* destination) {
  if (!destination || !*destination) return false;
  const char last = destination[std::strlen(destination) - 1];
  if (last == '\\' || last == '/') return false;
  const DWORD attributes = GetFileAttributesA(destination);
  return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TemporaryFile::~TemporaryFile() {
  if (handle_) CloseHandle(handle_);
  if (owns_path_) DeleteFileA(path_);
  free_memory(path_);
}

bool TemporaryFile::failed() {
  error_ = GetLastError();
  return false;
}

bool TemporaryFile::create(const char* destination) { return create(destination, first_name_draw()); }

bool TemporaryFile::create(const char* destination, uint64_t first_draw) {
  const size_t length = std::strlen(destination);
  if (temporary_name_digits(destination) == 0) {
    error_ = ERROR_INVALID_NAME;
    return false;
  }
  path_ = static_cast<char*>(allocate_memory(length + 1, false));
  if (!path_) {
    error_ = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  destination_ = destination;
  const uint64_t tries = std::min(MOST_TRIES, temporary_name_count(temporary_name_digits(destination)));
  for (uint64_t i = 0; i < tries; ++i) {
    // A new destination would be created as its own temporary file, which
    // then stands in the way of putting itself in place.
    if (temporary_name_is_destination(destination, first_draw + i)) continue;
    write_temporary_path(path_, destination, first_draw + i);
    HANDLE handle = CreateFileA(path_, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      handle_ = handle;
      owns_path_ = true;
      return true;
    }
    if (!name_taken(GetLastError())) return failed();
  }
  return failed();  // every name tried was taken
}

bool TemporaryFile::write(const char* data, size_t length) {
  if (!handle_) return false;
  while (length > 0) {
    const DWORD piece = length > (1u << 20) ? (1u << 20) : static_cast<DWORD>(length);
    DWORD written = 0;
    if (!WriteFile(handle_, data, piece, &written, nullptr)) return failed();
    if (written != piece) {
      error_ = ERROR_DISK_FULL;  // a short write without an error: no room left
      return false;
    }
    data += piece;
    length -= piece;
  }
  return true;
}

bool TemporaryFile::commit() {
  if (!handle_) return false;
  WIN32_FILE_ATTRIBUTE_DATA old{};
  const bool replacing = GetFileAttributesExA(destination_, GetFileExInfoStandard, &old) != 0;
  if (!replacing && GetLastError() != ERROR_FILE_NOT_FOUND) return failed();
  if (replacing) {
    if (!destination_replaceable(destination_, old.dwFileAttributes)) return failed();
    if (!SetFileTime(handle_, &old.ftCreationTime, nullptr, nullptr)) return failed();
  }
  // The bytes reach the disk before the file takes the destination's place,
  // so a power cut after "Download complete!" finds them there.
  const BOOL flushed = FlushFileBuffers(handle_);
  const DWORD flush_error = GetLastError();
  const BOOL closed = CloseHandle(handle_);
  handle_ = nullptr;
  if (!flushed) {
    error_ = flush_error;
    return false;
  }
  if (!closed) return failed();
  const bool put = replacing ? replace_destination(old.dwFileAttributes) : move_to_destination();
  return put || failed();
}

bool TemporaryFile::move_to_destination() {
  // No replacing here: a file that appeared there meanwhile is somebody's,
  // and the move then fails.
  if (!MoveFileExA(path_, destination_, MOVEFILE_WRITE_THROUGH)) return false;
  owns_path_ = false;
  return true;
}

bool TemporaryFile::replace_destination(unsigned long old_attributes) {
  // The new file takes over what the user set on the old one: hidden and
  // system (its creation time is already set). Set here, on the new file,
  // since Wine's replace does not carry them over. Archive stays set: the
  // content is new and backups must see it. The replace keeps the old
  // file's security descriptor on Windows; it is a rename that cannot be
  // written through, unlike the move of a new destination.
  const DWORD attributes = FILE_ATTRIBUTE_ARCHIVE | (old_attributes & CARRIED_ATTRIBUTES);
  if (!SetFileAttributesA(path_, attributes)) return false;
  if (!ReplaceFileA(destination_, path_, nullptr, 0, nullptr, nullptr)) {
    // The old file is already gone and the new one still stands under its
    // temporary name: put it in place, or at least never remove it.
    if (GetLastError() != ERROR_UNABLE_TO_MOVE_REPLACEMENT) return false;
    owns_path_ = false;
    return MoveFileExA(path_, destination_, MOVEFILE_WRITE_THROUGH) != 0;
  }
  owns_path_ = false;
  return true;
}
