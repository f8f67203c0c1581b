// The calls that the replace step's guarantees rest on, on Windows: which file a path names
// and in what state, locks, room, who may replace a save, the switch.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "WindowsFileSystem.h"

namespace duskmend {
namespace {

using windows::LastError;
using windows::Wide;
using windows::Win;

std::uint64_t Join(DWORD high, DWORD low) { return (std::uint64_t{high} << 32) | low; }

}  // namespace

// The lock covers one byte far past any save's end, so that it stops no reader.
std::error_code WindowsFileSystem::Lock(FileHandle file, bool& taken) {
  OVERLAPPED at{};
  at.Offset = 0xFFFFFFFE;
  at.OffsetHigh = 0x7FFFFFFF;
  taken =
      LockFileEx(Win(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
  if (taken || GetLastError() == ERROR_LOCK_VIOLATION) return {};
  return LastError();
}

std::error_code WindowsFileSystem::IdentityOf(FileHandle file, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_BASIC_INFO times{};
  if (!GetFileInformationByHandle(Win(file), &info) ||
      !GetFileInformationByHandleEx(Win(file), FileBasicInfo, &times, sizeof times)) {
    return LastError();
  }
  identity = {info.dwVolumeSerialNumber,
              Join(info.nFileIndexHigh, info.nFileIndexLow),
              Join(info.nFileSizeHigh, info.nFileSizeLow),
              static_cast<std::int64_t>(
                  Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime)),
              times.ChangeTime.QuadPart,
              info.nNumberOfLinks};
  return {};
}

std::error_code WindowsFileSystem::IdentityAt(const std::string& path, FileIdentity& identity) {
  HANDLE handle = CreateFileW(
      Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  std::error_code error = IdentityOf(reinterpret_cast<FileHandle>(handle), identity);
  CloseHandle(handle);
  return error;
}

std::error_code WindowsFileSystem::MayReplace(const std::string& path, std::string& reason) {
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

std::error_code WindowsFileSystem::FreeSpace(const std::string& path, std::uint64_t& bytes,
                                             std::uint64_t& disk) {
  std::wstring folder = Wide(path);
  const std::size_t slash = folder.find_last_of(L"\\/");
  folder = slash == std::wstring::npos ? L"." : folder.substr(0, slash + 1);
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return LastError();
  bytes = available.QuadPart;
  // The volume's serial number, as a file's identity gives it: the folder's own.
  HANDLE handle =
      CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  BY_HANDLE_FILE_INFORMATION info{};
  const std::error_code error =
      GetFileInformationByHandle(handle, &info) ? std::error_code{} : LastError();
  CloseHandle(handle);
  disk = info.dwVolumeSerialNumber;
  return error;
}

std::error_code WindowsFileSystem::Rename(const std::string& from, const std::string& to) {
  const std::wstring source = Wide(from);
  const std::wstring target = Wide(to);
  const bool moved = windows::Retrying([&] {
    return MoveFileExW(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  });
  return moved ? std::error_code{} : LastError();
}

std::error_code WindowsFileSystem::Move(const std::string& from, const std::string& to) {
  const std::wstring source = Wide(from);
  const std::wstring target = Wide(to);
  if (windows::Retrying(
          [&] { return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0; }))
    return {};
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
    return std::make_error_code(std::errc::file_exists);
  }
  return LastError();
}

std::error_code WindowsFileSystem::Link(const std::string& existing, const std::string& added) {
  return CreateHardLinkW(Wide(added).c_str(), Wide(existing).c_str(), nullptr) != 0
             ? std::error_code{}
             : LastError();
}

std::error_code WindowsFileSystem::Remove(const std::string& path) {
  const std::wstring wide = Wide(path);
  return windows::Retrying([&] { return DeleteFileW(wide.c_str()) != 0; }) ? std::error_code{}
                                                                           : LastError();
}

std::error_code WindowsFileSystem::ResolveLinks(const std::string& path, std::string& target) {
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
  target = windows::Utf8(final);
  return {};
}

// Windows keeps no attribute that wine and FAT keep too: the mark is the last write's time
// within its second, set to a tick that a clock gives one file in ten million by chance. It
// keeps no name (any name matches), and goes with the next write; FAT's two-second times keep
// none.
namespace {

constexpr LONGLONG kTicksPerSecond = 10000000;
constexpr LONGLONG kMarkTick = 7654321;

}  // namespace

std::error_code WindowsFileSystem::Mark(FileHandle file, const std::string& name) {
  FILE_BASIC_INFO times{};
  if (!GetFileInformationByHandleEx(Win(file), FileBasicInfo, &times, sizeof times)) {
    return LastError();
  }
  const LONGLONG written = times.LastWriteTime.QuadPart;
  const bool marked = written % kTicksPerSecond == kMarkTick;
  if (marked == !name.empty()) return {};
  FILE_BASIC_INFO set{};  // zero: left as it is
  set.LastWriteTime.QuadPart = written - written % kTicksPerSecond + (marked ? 0 : kMarkTick);
  if (!SetFileInformationByHandle(Win(file), FileBasicInfo, &set, sizeof set)) return LastError();
  return {};
}

std::error_code WindowsFileSystem::MarkOf(FileHandle file, std::string& name) {
  FILE_BASIC_INFO times{};
  if (!GetFileInformationByHandleEx(Win(file), FileBasicInfo, &times, sizeof times)) {
    return LastError();
  }
  name = times.LastWriteTime.QuadPart % kTicksPerSecond == kMarkTick ? "*" : "";
  return {};
}

}  // namespace duskmend
