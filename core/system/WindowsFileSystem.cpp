// The calls that open, read, write and sync files on Windows.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include "WindowsFileSystem.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace duskmend {
namespace {

using windows::LastError;
using windows::Wide;
using windows::Win;

}  // namespace

namespace windows {

std::error_code LastError() { return {static_cast<int>(GetLastError()), std::system_category()}; }

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

bool Retrying(const std::function<bool()>& step, bool whileDenied) {
  for (int attempt = 0;; ++attempt) {
    if (step()) return true;
    const DWORD error = GetLastError();
    const bool busy =
        error == ERROR_SHARING_VIOLATION || (whileDenied && error == ERROR_ACCESS_DENIED);
    if (attempt == 10 || !busy) return false;
    Sleep(50);
  }
}

}  // namespace windows

std::error_code WindowsFileSystem::Open(const std::string& path, OpenMode mode, FileHandle& file) {
  // A link at the temp path is followed: Windows keeps symbolic links for administrators.
  const bool read = mode == OpenMode::kRead || mode == OpenMode::kReadNoLink;
  const bool created = mode == OpenMode::kCreateNew;
  const DWORD creation = read ? OPEN_EXISTING : created ? CREATE_NEW : CREATE_ALWAYS;
  // A file read or taking a save's place may be renamed while open; a lock guards it.
  const DWORD share =
      read || created ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : FILE_SHARE_READ;
  const DWORD access = read ? GENERIC_READ : created ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE;
  HANDLE handle = INVALID_HANDLE_VALUE;
  windows::Retrying(
      [&] {
        handle =
            CreateFileW(Wide(path).c_str(), access, share, nullptr, creation,
                        FILE_ATTRIBUTE_NORMAL | (read ? FILE_FLAG_SEQUENTIAL_SCAN : 0), nullptr);
        return handle != INVALID_HANDLE_VALUE;
      },
      false);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  if (GetFileType(handle) != FILE_TYPE_DISK) {  // a console, a pipe, a device
    CloseHandle(handle);
    return NotRegularFileError();
  }
  file = reinterpret_cast<FileHandle>(handle);
  return {};
}

std::error_code WindowsFileSystem::Size(FileHandle file, std::uint64_t& size) {
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(Win(file), &length)) return LastError();
  size = static_cast<std::uint64_t>(length.QuadPart);
  return {};
}

std::error_code WindowsFileSystem::Read(FileHandle file, char* buffer, std::size_t size,
                                        std::size_t& got) {
  DWORD read = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  if (!ReadFile(Win(file), buffer, want, &read, nullptr)) return LastError();
  got = read;
  return {};
}

std::error_code WindowsFileSystem::Write(FileHandle file, const char* data, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!WriteFile(Win(file), data, chunk, &written, nullptr)) return LastError();
    if (written == 0) return {ERROR_DISK_FULL, std::system_category()};
    data += written;
    size -= written;
  }
  return {};
}

std::error_code WindowsFileSystem::Sync(FileHandle file) {
  return FlushFileBuffers(Win(file)) ? std::error_code{} : LastError();
}

std::error_code WindowsFileSystem::Close(FileHandle file) {
  return CloseHandle(Win(file)) ? std::error_code{} : LastError();
}

std::error_code WindowsFileSystem::Copy(FileHandle from, std::uint64_t offset, std::uint64_t length,
                                        FileHandle to) {
  std::vector<char> buffer(std::size_t{1} << 20);
  while (length > 0) {
    OVERLAPPED at{};  // the offset to read from; the handle itself reads synchronously
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(length, buffer.size()));
    if (!ReadFile(Win(from), buffer.data(), want, &read, &at) &&
        GetLastError() != ERROR_HANDLE_EOF) {
      return LastError();
    }
    if (read == 0) return ShortFileError();
    if (std::error_code error = Write(to, buffer.data(), read)) return error;
    offset += read;
    length -= read;
  }
  return {};
}

std::error_code WindowsFileSystem::Truncate(FileHandle file, std::uint64_t size) {
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(Win(file), at, nullptr, FILE_BEGIN) || !SetEndOfFile(Win(file))) {
    return LastError();
  }
  return {};
}

FileSystem& SystemFileSystem() {
  static WindowsFileSystem fileSystem;
  return fileSystem;
}

}  // namespace duskmend
