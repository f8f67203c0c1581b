// The calls that open, read, write and sync files on POSIX systems.
#include "PosixFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace duskmend {
namespace {

using posix::Fd;
using posix::LastError;

constexpr std::size_t kCopyChunk = std::size_t{1} << 30;

// Refuses anything but a regular file on an open descriptor, and makes it blocking again:
// it was opened non-blocking so that a FIFO cannot hang the open.
std::error_code AcceptRegularFile(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return LastError();
  if (S_ISDIR(info.st_mode)) return {EISDIR, std::system_category()};
  if (!S_ISREG(info.st_mode)) return NotRegularFileError();
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return LastError();
  return {};
}

// Writes all `size` bytes, or says why not; a write that takes nothing means a full disk.
std::error_code WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return LastError();
    if (n == 0) return {ENOSPC, std::system_category()};
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return {};
}

std::error_code CopyByReading(int from, off_t offset, std::uint64_t length, int to) {
  std::vector<char> buffer(std::size_t{1} << 20);
  while (length > 0) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer.size()));
    ssize_t got = pread(from, buffer.data(), want, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return LastError();
    if (got == 0) return ShortFileError();
    if (std::error_code error = WriteAll(to, buffer.data(), static_cast<std::size_t>(got)))
      return error;
    offset += got;
    length -= static_cast<std::uint64_t>(got);
  }
  return {};
}

}  // namespace

std::error_code PosixFileSystem::Open(const std::string& path, OpenMode mode, FileHandle& file) {
  int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  switch (mode) {
    case OpenMode::kRead:
      flags |= O_RDONLY;
      break;
    case OpenMode::kReadNoLink:
      flags |= O_RDONLY | O_NOFOLLOW;
      break;
    case OpenMode::kCreateOrEmpty:
      flags |= O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW;
      break;
    case OpenMode::kCreateNew:
      flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
      break;
  }
  // A file that will take a save's place starts out private, until it has the save's bits.
  const bool created = mode == OpenMode::kCreateNew;
  int fd = open(path.c_str(), flags, created ? 0600 : 0666);
  if (fd < 0) return LastError();
  if (std::error_code error = AcceptRegularFile(fd)) {
    close(fd);
    if (created) unlink(path.c_str());  // made by this call, and nobody else's
    return error;
  }
#if defined(POSIX_FADV_SEQUENTIAL)
  if (mode == OpenMode::kRead) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  file = fd;
  return {};
}

std::error_code PosixFileSystem::Size(FileHandle file, std::uint64_t& size) {
  struct stat info {};
  if (fstat(Fd(file), &info) != 0) return LastError();
  size = static_cast<std::uint64_t>(info.st_size);
  return {};
}

std::error_code PosixFileSystem::Read(FileHandle file, char* buffer, std::size_t size,
                                      std::size_t& got) {
  for (;;) {
    ssize_t n = read(Fd(file), buffer, size);
    if (n >= 0) {
      got = static_cast<std::size_t>(n);
      return {};
    }
    if (errno != EINTR) return LastError();
  }
}

std::error_code PosixFileSystem::Write(FileHandle file, const char* data, std::size_t size) {
  return WriteAll(Fd(file), data, size);
}

std::error_code PosixFileSystem::Sync(FileHandle file) {
  return fsync(Fd(file)) == 0 ? std::error_code{} : LastError();
}

std::error_code PosixFileSystem::Close(FileHandle file) {
  // On Linux the descriptor is gone even when close reports EINTR.
  if (close(Fd(file)) != 0 && errno != EINTR) return LastError();
  return {};
}

std::error_code PosixFileSystem::Copy(FileHandle from, std::uint64_t offset, std::uint64_t length,
                                      FileHandle to) {
  off_t at = static_cast<off_t>(offset);
#if defined(__linux__)
  // The kernel copies without a round trip through this process where it can.
  while (length > 0) {
    std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length, kCopyChunk));
    ssize_t n = copy_file_range(Fd(from), &at, Fd(to), nullptr, chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
      break;  // not between these two files: copy by hand
    }
    if (n < 0) return LastError();
    if (n == 0) return ShortFileError();
    length -= static_cast<std::uint64_t>(n);
  }
#endif
  return CopyByReading(Fd(from), at, length, Fd(to));
}

void PosixFileSystem::Forget(FileHandle file, std::uint64_t offset, std::uint64_t length) {
#if defined(POSIX_FADV_DONTNEED)
  posix_fadvise(Fd(file), static_cast<off_t>(offset), static_cast<off_t>(length),
                POSIX_FADV_DONTNEED);
#else
  (void)file, (void)offset, (void)length;
#endif
}

std::error_code PosixFileSystem::Truncate(FileHandle file, std::uint64_t size) {
  const off_t length = static_cast<off_t>(size);
  if (ftruncate(Fd(file), length) != 0 || lseek(Fd(file), length, SEEK_SET) < 0) {
    return LastError();
  }
  return {};
}

void PosixFileSystem::StartWriteBack(FileHandle file, std::uint64_t offset, std::uint64_t length) {
#if defined(__linux__)
  sync_file_range(Fd(file), static_cast<off_t>(offset), static_cast<off_t>(length),
                  SYNC_FILE_RANGE_WRITE);
#else
  (void)file, (void)offset, (void)length;
#endif
}

std::error_code PosixFileSystem::SyncFolderOf(const std::string& path) {
  int fd = open(posix::FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return LastError();
  std::error_code error;
  // Some file systems cannot sync a folder; their names are as durable as they get.
  if (fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) error = LastError();
  close(fd);
  return error;
}

FileSystem& SystemFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace duskmend
