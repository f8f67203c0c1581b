#pragma once

#include <string>
#include <system_error>

namespace duskmend {

// Gives the file `to` exactly the extended attributes of `from`, access lists among them; the
// system sets a file's security label itself. Nothing to do where there are none.
std::error_code CopyAttributes(int from, int to);

// The mark that Duskmend gives the files it makes, as an extended attribute: set (or taken
// away, where `name` is empty), and read (empty where the file has none). Fail with
// std::errc::not_supported where the file system keeps no such attributes.
std::error_code SetMark(int fd, const std::string& name);
std::error_code GetMark(int fd, std::string& name);

}  // namespace duskmend
