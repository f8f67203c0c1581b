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
    const bool both = mode == OpenMode::kReadWrite;
    const DWORD creation = read                           ? OPEN_EXISTING
                           : both                         ? OPEN_ALWAYS
                           : mode == OpenMode::kCreateNew ? CREATE_NEW
                                                          : CREATE_ALWAYS;
    // A file read or taking a save's place may be renamed while open; a lock guards it.
    const DWORD share =
        read || both ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : FILE_SHARE_READ;
    const DWORD access = read ? GENERIC_READ : both ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE;
    HANDLE handle = INVALID_HANDLE_VALUE;
    Retrying(
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
  std::error_code CopyPermissions(FileHandle, FileHandle) override { return {}; }

  std::error_code Truncate(FileHandle file, std::uint64_t size) override {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(Win(file), at, nullptr, FILE_BEGIN) || !SetEndOfFile(Win(file))) {
      return LastError();
    }
    return {};
  }

  // The lock covers one byte far past any save's end, so that it stops no reader.
  std::error_code Lock(FileHandle file, bool& taken) override {
    OVERLAPPED at{};
    at.Offset = 0xFFFFFFFE;
    at.OffsetHigh = 0x7FFFFFFF;
    taken = LockFileEx(Win(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &at) != 0;
    if (taken || GetLastError() == ERROR_LOCK_VIOLATION) return {};
    return LastError();
  }

  void StartWriteBack(FileHandle, std::uint64_t, std::uint64_t) override {}

  std::error_code IdentityOf(FileHandle file, FileIdentity& identity) override {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(Win(file), &info)) return LastError();
    identity = {
        info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
        (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
        static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                  info.ftLastWriteTime.dwLowDateTime)};
    return {};
  }

  std::error_code IdentityAt(const std::string& path, FileIdentity& identity) override {
    HANDLE handle = CreateFileW(
        Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    std::error_code error = IdentityOf(reinterpret_cast<FileHandle>(handle), identity);
    CloseHandle(handle);
    return error;
  }

  std::error_code MayReplace(const std::string& path, std::string& reason) override {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      std::error_code error = LastError();
      reason = error.message();
      return error;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      reason = "it is read-only";
      return {ERROR_ACCESS_DENIED, std::system_category()};
    }
    return {};
  }

  std::error_code FreeSpace(const std::string& path, std::uint64_t& bytes) override {
    std::wstring folder = Wide(path);
    const std::size_t slash = folder.find_last_of(L"\\/");
    folder = slash == std::wstring::npos ? L"." : folder.substr(0, slash + 1);
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return LastError();
    bytes = available.QuadPart;
    return {};
  }

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
