// The extended attributes of a file on Linux, where its access lists live too.
#include "PosixAttributes.h"

#include <cerrno>
#include <set>
#include <string>
#include <vector>
#if defined(__linux__)
#include <sys/xattr.h>
#endif

namespace duskmend {
#if defined(__linux__)
namespace {

std::error_code LastError() { return {errno, std::system_category()}; }

// The names of a file's extended attributes; the system sets a file's security label itself.
std::error_code AttributeNames(int fd, std::set<std::string>& names) {
  std::vector<char> list;
  for (;;) {
    ssize_t size = flistxattr(fd, nullptr, 0);
    if (size < 0) return errno == ENOTSUP ? std::error_code{} : LastError();
    list.resize(static_cast<std::size_t>(size));
    size = flistxattr(fd, list.data(), list.size());
    if (size >= 0) {
      list.resize(static_cast<std::size_t>(size));
      break;
    }
    if (errno != ERANGE) return LastError();
  }
  for (std::size_t at = 0; at < list.size();) {
    std::string name(list.data() + at);
    at += name.size() + 1;
    if (name != "security.selinux") names.insert(name);
  }
  return {};
}

}  // namespace

std::error_code CopyAttributes(int from, int to) {
  std::set<std::string> wanted;
  std::set<std::string> present;
  if (std::error_code error = AttributeNames(from, wanted)) return error;
  if (std::error_code error = AttributeNames(to, present)) return error;
  for (const std::string& name : present) {
    if (!wanted.count(name) && fremovexattr(to, name.c_str()) != 0) return LastError();
  }
  std::vector<char> value;
  for (const std::string& name : wanted) {
    ssize_t size = fgetxattr(from, name.c_str(), nullptr, 0);
    if (size >= 0) {
      value.resize(static_cast<std::size_t>(size));
      size = fgetxattr(from, name.c_str(), value.data(), value.size());
    }
    if (size < 0 || fsetxattr(to, name.c_str(), value.data(), static_cast<std::size_t>(size), 0)) {
      return LastError();
    }
  }
  return {};
}

namespace {

const char kMark[] = "user.duskmend";

bool Unsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

}  // namespace

std::error_code SetMark(int fd, const std::string& name) {
  const int result =
      name.empty() ? fremovexattr(fd, kMark) : fsetxattr(fd, kMark, name.data(), name.size(), 0);
  if (result == 0 || (name.empty() && errno == ENODATA)) return {};
  return Unsupported(errno) ? std::make_error_code(std::errc::not_supported) : LastError();
}

std::error_code GetMark(int fd, std::string& name) {
  char value[256];  // a file name's longest
  const ssize_t size = fgetxattr(fd, kMark, value, sizeof value);
  if (size < 0 && errno == ENODATA) {
    name.clear();
    return {};
  }
  if (size < 0 && errno == ERANGE) {
    name = "?";  // no name of ours
    return {};
  }
  if (size < 0)
    return Unsupported(errno) ? std::make_error_code(std::errc::not_supported) : LastError();
  name.assign(value, static_cast<std::size_t>(size));
  return {};
}

#else
std::error_code CopyAttributes(int, int) { return {}; }
std::error_code SetMark(int, const std::string&) {
  return std::make_error_code(std::errc::not_supported);
}
std::error_code GetMark(int, std::string&) {
  return std::make_error_code(std::errc::not_supported);
}
#endif
}  // namespace duskmend
