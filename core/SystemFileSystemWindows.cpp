// The platform calls of the core on Windows. Paths arrive as UTF-8 and go to the wide API.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <vector>

#include "FileSystem.h"

namespace duskmend {
namespace {

std::error_code LastError() { return {static_cast<int>(GetLastError()), std::system_category()}; }

HANDLE Win(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

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

// Another program (a virus scanner, an indexer, the game server's backup) may hold a file
// for a moment; a few short tries, half a second in all, ride that out. A file that is
// being deleted answers "access denied" for that moment, too.
template <class Step>
bool Retrying(Step step, bool whileDenied = true) {
  for (int attempt = 0;; ++attempt) {
    if (step()) return true;
    const DWORD error = GetLastError();
    const bool busy =
        error == ERROR_SHARING_VIOLATION || (whileDenied && error == ERROR_ACCESS_DENIED);
    if (attempt == 10 || !busy) return false;
    Sleep(50);
  }
}

class WindowsFileSystem final : public FileSystem {
 public:
  std::error_code Open(const std::string& path, OpenMode mode, FileHandle& file) override {
    const bool read = mode == OpenMode::kRead;
    const DWORD creation = read                           ? OPEN_EXISTING
                           : mode == OpenMode::kCreateNew ? CREATE_NEW
                                                          : CREATE_ALWAYS;
    const DWORD share =
        read ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : FILE_SHARE_READ;
    HANDLE handle = INVALID_HANDLE_VALUE;
    Retrying(
        [&] {
          handle = CreateFileW(
              Wide(path).c_str(), read ? GENERIC_READ : GENERIC_WRITE, share, nullptr, creation,
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

  std::error_code Size(FileHandle file, std::uint64_t& size) override {
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(Win(file), &length)) return LastError();
    size = static_cast<std::uint64_t>(length.QuadPart);
    return {};
  }

  std::error_code Read(FileHandle file, char* buffer, std::size_t size, std::size_t& got) override {
    DWORD read = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(Win(file), buffer, want, &read, nullptr)) return LastError();
    got = read;
    return {};
  }

  std::error_code Write(FileHandle file, const char* data, std::size_t size) override {
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

  std::error_code Sync(FileHandle file) override {
    return FlushFileBuffers(Win(file)) ? std::error_code{} : LastError();
  }

  std::error_code Close(FileHandle file) override {
    return CloseHandle(Win(file)) ? std::error_code{} : LastError();
  }

  std::error_code Copy(FileHandle from, std::uint64_t offset, std::uint64_t length,
                       FileHandle to) override {
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

  void Forget(FileHandle, std::uint64_t, std::uint64_t) override {}

  // A new file takes the permissions of its folder, as the world save did.
  std::error_code CopyPermissions(const std::string&, FileHandle) override { return {}; }

  std::error_code Rename(const std::string& from, const std::string& to) override {
    const std::wstring source = Wide(from);
    const std::wstring target = Wide(to);
    const bool moved = Retrying([&] {
      return MoveFileExW(source.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    });
    return moved ? std::error_code{} : LastError();
  }

  std::error_code Remove(const std::string& path) override {
    const std::wstring wide = Wide(path);
    return Retrying([&] { return DeleteFileW(wide.c_str()) != 0; }) ? std::error_code{}
                                                                    : LastError();
  }

  // A rename with MOVEFILE_WRITE_THROUGH is durable when it returns.
  std::error_code SyncFolderOf(const std::string&) override { return {}; }

  std::error_code ResolveLinks(const std::string& path, std::string& target) override {
    HANDLE handle =
        CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    std::wstring final(MAX_PATH, L'\0');
    DWORD length = 0;
    for (;;) {
      length = GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()),
                                         FILE_NAME_NORMALIZED);
      if (length < final.size()) break;
      final.resize(length + 1);
    }
    std::error_code error = length == 0 ? LastError() : std::error_code{};
    CloseHandle(handle);
    if (error) return error;
    final.resize(length);
    // \\?\C:\... names a drive path, \\?\UNC\server\... a share.
    if (final.rfind(L"\\\\?\\UNC\\", 0) == 0) {
      final = L"\\\\" + final.substr(8);
    } else if (final.rfind(L"\\\\?\\", 0) == 0) {
      final = final.substr(4);
    }
    target = Utf8(final);
    return {};
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static WindowsFileSystem fileSystem;
  return fileSystem;
}

}  // namespace duskmend
