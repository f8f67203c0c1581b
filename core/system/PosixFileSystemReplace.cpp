// The calls that the replace step's guarantees rest on, on POSIX systems: which file a path
// names and in what state, locks, room, who may replace a save, its permissions, the switch.
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/file.h>
#if defined(__linux__)
#include <sys/inotify.h>
#endif
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "PosixAttributes.h"
#include "PosixFileSystem.h"

namespace duskmend {
namespace {

using posix::Fd;
using posix::LastError;

std::int64_t Nanoseconds(const struct timespec& time) {
  return std::int64_t{time.tv_sec} * 1000000000 + time.tv_nsec;
}

FileIdentity IdentityFrom(const struct stat& info) {
  return {static_cast<std::uint64_t>(info.st_dev),
          static_cast<std::uint64_t>(info.st_ino),
          static_cast<std::uint64_t>(info.st_size),
          Nanoseconds(info.st_mtim),
          Nanoseconds(info.st_ctim),
          static_cast<std::uint64_t>(info.st_nlink)};
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

}  // namespace

std::error_code PosixFileSystem::CopyPermissions(FileHandle like, FileHandle to) {
  struct stat model {};
  struct stat own {};
  if (fstat(Fd(like), &model) != 0 || fstat(Fd(to), &own) != 0) return LastError();
  // The owner first: handing a file over clears its set-id bits and its capabilities.
  if ((model.st_uid != own.st_uid || model.st_gid != own.st_gid) &&
      fchown(Fd(to), model.st_uid, model.st_gid) != 0) {
    return LastError();
  }
  // The access lists before any bit wider than the owner's: at no moment may anyone open
  // the file who may not open the save.
  if (std::error_code error = CopyAttributes(Fd(like), Fd(to))) return error;
  if (fchmod(Fd(to), model.st_mode & 07777) != 0) return LastError();
  return {};
}

std::error_code PosixFileSystem::Lock(FileHandle file, bool& taken) {
  while (flock(Fd(file), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return LastError();
    taken = false;
    return {};
  }
  taken = true;
  return {};
}

std::error_code PosixFileSystem::IdentityOf(FileHandle file, FileIdentity& identity) {
  struct stat info {};
  if (fstat(Fd(file), &info) != 0) return LastError();
  identity = IdentityFrom(info);
  return {};
}

std::error_code PosixFileSystem::IdentityAt(const std::string& path, FileIdentity& identity) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return LastError();
  identity = IdentityFrom(info);
  return {};
}

std::error_code PosixFileSystem::MayReplace(const std::string& path, std::string& reason) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    std::error_code error = LastError();
    reason = error.message();
    return error;
  }
  // A save without a write bit for anyone is read-only to its operator, the superuser too.
  std::error_code denied;
  if ((info.st_mode & 0222) == 0) {
    denied = {EACCES, std::system_category()};
  } else if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
    denied = LastError();
  }
  if (denied) {
    const bool readOnly = denied.value() == EACCES || denied.value() == EROFS;
    reason = readOnly ? "it is read-only" : denied.message();
    return denied;
  }
  // Only the superuser may hand the new save to the old one's owner.
  const uid_t me = geteuid();
  if (me != 0 && info.st_uid != me) {
    reason = "it belongs to " + UserName(info.st_uid) + " and would be given to you";
    return {EPERM, std::system_category()};
  }
  return {};
}

std::error_code PosixFileSystem::FreeSpace(const std::string& path, std::uint64_t& bytes,
                                           std::uint64_t& disk) {
  const std::string folder = posix::FolderOf(path);
  struct statvfs info {};
  struct stat where {};
  // A bind mount of the same file system has the same device: its room is the same.
  if (statvfs(folder.c_str(), &info) != 0 || stat(folder.c_str(), &where) != 0) {
    return LastError();
  }
  bytes = std::uint64_t{info.f_bavail} * info.f_frsize;
  disk = static_cast<std::uint64_t>(where.st_dev);
  return {};
}

std::error_code PosixFileSystem::Rename(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0 ? std::error_code{} : LastError();
}

std::error_code PosixFileSystem::Move(const std::string& from, const std::string& to) {
#if defined(__linux__) && defined(RENAME_NOREPLACE)
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return LastError();
#endif
  // Without the call (NFS among others) a second name, which fails where one stands, and the
  // first one's removal: a crash between the two leaves both names of the one file.
  if (link(from.c_str(), to.c_str()) != 0) return LastError();
  return Remove(from);
}

std::error_code PosixFileSystem::Link(const std::string& existing, const std::string& added) {
  return link(existing.c_str(), added.c_str()) == 0 ? std::error_code{} : LastError();
}

std::error_code PosixFileSystem::Exchange(const std::string& a, const std::string& b) {
#if defined(__linux__) && defined(RENAME_EXCHANGE)
  if (renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0) return {};
  // A file system without the exchange (NFS, FAT, some FUSE) or a kernel without the call.
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return LastError();
#else
  (void)a, (void)b;
#endif
  return std::make_error_code(std::errc::not_supported);
}

#if defined(__linux__)
namespace {
constexpr std::uint32_t kChanges = IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF;
constexpr std::uint32_t kNameChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

// A watch of its own on `path` for `events`.
std::error_code Inotify(const std::string& path, std::uint32_t events, FileHandle& watch) {
  const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return LastError();
  if (inotify_add_watch(fd, path.c_str(), events) < 0) {
    const std::error_code error = LastError();
    close(fd);
    return error;
  }
  watch = fd;
  return {};
}

// Hands each event that waits on `watch` to `take`; events are whole in a read.
template <class Take>
std::error_code TakeEvents(FileHandle watch, Take take) {
  alignas(inotify_event) char events[4096];
  for (;;) {
    const ssize_t got = read(Fd(watch), events, sizeof events);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno != EAGAIN) return LastError();
    if (got <= 0) return {};
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + at);
      take(*event);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
}

}  // namespace

std::error_code PosixFileSystem::Watch(const std::string& path, FileHandle& watch) {
  return Inotify(path, kChanges | IN_DONT_FOLLOW, watch);
}

std::error_code PosixFileSystem::Changed(FileHandle watch, bool& changed, bool& written) {
  // Any event is a change, and an overflow may hide a write.
  changed = written = false;
  return TakeEvents(watch, [&](const inotify_event& event) {
    changed = true;
    written = written || (event.mask & (IN_MODIFY | IN_Q_OVERFLOW)) != 0;
  });
}

std::error_code PosixFileSystem::WatchName(const std::string& path, FileHandle& watch) {
  return Inotify(posix::FolderOf(path), kNameChanges | IN_ONLYDIR, watch);
}

std::error_code PosixFileSystem::NameChanges(FileHandle watch, const std::string& path,
                                             int& count) {
  // An overflow may hide any number of them: it counts as more than one.
  const std::string name = path.substr(path.find_last_of('/') + 1);
  count = 0;
  return TakeEvents(watch, [&](const inotify_event& event) {
    if (event.mask & IN_Q_OVERFLOW) count += 2;
    if ((event.mask & kNameChanges) && event.len && name == event.name) ++count;
  });
}
#else
std::error_code PosixFileSystem::WatchName(const std::string&, FileHandle&) {
  return std::make_error_code(std::errc::not_supported);
}

std::error_code PosixFileSystem::NameChanges(FileHandle, const std::string&, int& count) {
  count = 0;
  return {};
}

std::error_code PosixFileSystem::Watch(const std::string&, FileHandle&) {
  return std::make_error_code(std::errc::not_supported);
}

std::error_code PosixFileSystem::Changed(FileHandle, bool& changed, bool& written) {
  changed = written = false;
  return {};
}
#endif

std::error_code PosixFileSystem::Remove(const std::string& path) {
  return unlink(path.c_str()) == 0 ? std::error_code{} : LastError();
}

std::error_code PosixFileSystem::ResolveLinks(const std::string& path, std::string& target) {
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
  if (!resolved) return LastError();
  target = resolved.get();
  return {};
}

std::error_code PosixFileSystem::Mark(FileHandle file, const std::string& name) {
  return SetMark(Fd(file), name);
}

std::error_code PosixFileSystem::MarkOf(FileHandle file, std::string& name) {
  return GetMark(Fd(file), name);
}

}  // namespace duskmend
