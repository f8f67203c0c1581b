// The platform calls of the core on POSIX systems.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

#include "FileSystem.h"
#include "PosixAttributes.h"

namespace duskmend {
namespace {

constexpr std::size_t kCopyChunk = std::size_t{1} << 30;

std::error_code LastError() { return {errno, std::system_category()}; }

int Fd(FileHandle file) { return static_cast<int>(file); }

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

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

std::error_code CopyByReading(int from, off_t offset, std::uint64_t length, int to) {
  std::vector<char> buffer(std::size_t{1} << 20);
  while (length > 0) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer.size()));
    ssize_t got = pread(from, buffer.data(), want, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return LastError();
    if (got == 0) return ShortFileError();
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) return LastError();
      if (put == 0) return {ENOSPC, std::system_category()};
      done += put;
    }
    offset += got;
    length -= static_cast<std::uint64_t>(got);
  }
  return {};
}

FileIdentity IdentityFrom(const struct stat& info) {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
          static_cast<std::uint64_t>(info.st_size),
          std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec};
}

std::string UserName(uid_t uid) {
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
    return found->pw_name;
  }
  return "user " + std::to_string(uid);
}

class PosixFileSystem final : public FileSystem {
 public:
  std::error_code Open(const std::string& path, OpenMode mode, FileHandle& file) override {
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    switch (mode) {
      case OpenMode::kRead:
        flags |= O_RDONLY;
        break;
      case OpenMode::kCreateOrEmpty:
        flags |= O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW;
        break;
      case OpenMode::kCreateNew:
        flags |= O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
        break;
      case OpenMode::kReadWrite:
        flags |= O_RDWR | O_CREAT | O_NOFOLLOW;
        break;
    }
    // A file that will take a save's place starts out private, until it has the save's bits.
    const bool replacing = mode == OpenMode::kCreateNew || mode == OpenMode::kReadWrite;
    int fd = open(path.c_str(), flags, replacing ? 0600 : 0666);
    if (fd < 0) return LastError();
    if (std::error_code error = AcceptRegularFile(fd)) {
      close(fd);
      return error;
    }
#if defined(POSIX_FADV_SEQUENTIAL)
    if (mode == OpenMode::kRead) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    file = fd;
    return {};
  }

  std::error_code Size(FileHandle file, std::uint64_t& size) override {
    struct stat info {};
    if (fstat(Fd(file), &info) != 0) return LastError();
    size = static_cast<std::uint64_t>(info.st_size);
    return {};
  }

  std::error_code Read(FileHandle file, char* buffer, std::size_t size, std::size_t& got) override {
    for (;;) {
      ssize_t n = read(Fd(file), buffer, size);
      if (n >= 0) {
        got = static_cast<std::size_t>(n);
        return {};
      }
      if (errno != EINTR) return LastError();
    }
  }

  std::error_code Write(FileHandle file, const char* data, std::size_t size) override {
    while (size > 0) {
      ssize_t n = write(Fd(file), data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return LastError();
      if (n == 0) return {ENOSPC, std::system_category()};
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return {};
  }

  std::error_code Sync(FileHandle file) override {
    return fsync(Fd(file)) == 0 ? std::error_code{} : LastError();
  }

  std::error_code Close(FileHandle file) override {
    // On Linux the descriptor is gone even when close reports EINTR.
    if (close(Fd(file)) != 0 && errno != EINTR) return LastError();
    return {};
  }

  std::error_code Copy(FileHandle from, std::uint64_t offset, std::uint64_t length,
                       FileHandle to) override {
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

  void Forget(FileHandle file, std::uint64_t offset, std::uint64_t length) override {
#if defined(POSIX_FADV_DONTNEED)
    posix_fadvise(Fd(file), static_cast<off_t>(offset), static_cast<off_t>(length),
                  POSIX_FADV_DONTNEED);
#else
    (void)file, (void)offset, (void)length;
#endif
  }

  std::error_code CopyPermissions(FileHandle like, FileHandle to) override {
    struct stat model {};
    struct stat own {};
    if (fstat(Fd(like), &model) != 0 || fstat(Fd(to), &own) != 0) return LastError();
    // The owner first: handing a file over clears its set-id bits.
    if ((model.st_uid != own.st_uid || model.st_gid != own.st_gid) &&
        fchown(Fd(to), model.st_uid, model.st_gid) != 0) {
      return LastError();
    }
    if (fchmod(Fd(to), model.st_mode & 07777) != 0) return LastError();
    return CopyAttributes(Fd(like), Fd(to));
  }

  std::error_code Truncate(FileHandle file, std::uint64_t size) override {
    const off_t length = static_cast<off_t>(size);
    if (ftruncate(Fd(file), length) != 0 || lseek(Fd(file), length, SEEK_SET) < 0) {
      return LastError();
    }
    return {};
  }

  std::error_code Lock(FileHandle file, bool& taken) override {
    while (flock(Fd(file), LOCK_EX | LOCK_NB) != 0) {
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK) return LastError();
      taken = false;
      return {};
    }
    taken = true;
    return {};
  }

  void StartWriteBack(FileHandle file, std::uint64_t offset, std::uint64_t length) override {
#if defined(__linux__)
    sync_file_range(Fd(file), static_cast<off_t>(offset), static_cast<off_t>(length),
                    SYNC_FILE_RANGE_WRITE);
#else
    (void)file, (void)offset, (void)length;
#endif
  }

  std::error_code IdentityOf(FileHandle file, FileIdentity& identity) override {
    struct stat info {};
    if (fstat(Fd(file), &info) != 0) return LastError();
    identity = IdentityFrom(info);
    return {};
  }

  std::error_code IdentityAt(const std::string& path, FileIdentity& identity) override {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return LastError();
    identity = IdentityFrom(info);
    return {};
  }

  std::error_code MayReplace(const std::string& path, std::string& reason) override {
    if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
      std::error_code error = LastError();
      const bool denied = error.value() == EACCES || error.value() == EROFS;
      reason = denied ? "it is read-only" : error.message();
      return error;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
      std::error_code error = LastError();
      reason = error.message();
      return error;
    }
    // Only the superuser may hand the new save to the old one's owner.
    const uid_t me = geteuid();
    if (me != 0 && info.st_uid != me) {
      reason = "it belongs to " + UserName(info.st_uid) + " and would be given to you";
      return {EPERM, std::system_category()};
    }
    return {};
  }

  std::error_code FreeSpace(const std::string& path, std::uint64_t& bytes) override {
    struct statvfs info {};
    if (statvfs(FolderOf(path).c_str(), &info) != 0) return LastError();
    bytes = std::uint64_t{info.f_bavail} * info.f_frsize;
    return {};
  }

  std::error_code Rename(const std::string& from, const std::string& to) override {
    return rename(from.c_str(), to.c_str()) == 0 ? std::error_code{} : LastError();
  }

  std::error_code Remove(const std::string& path) override {
    return unlink(path.c_str()) == 0 ? std::error_code{} : LastError();
  }

  std::error_code SyncFolderOf(const std::string& path) override {
    int fd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return LastError();
    std::error_code error;
    // Some file systems cannot sync a folder; their names are as durable as they get.
    if (fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) error = LastError();
    close(fd);
    return error;
  }

  std::error_code ResolveLinks(const std::string& path, std::string& target) override {
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                         &std::free);
    if (!resolved) return LastError();
    target = resolved.get();
    return {};
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace duskmend
