// The console of a POSIX system: arguments are bytes, text is in the locale's character set.
#include <iconv.h>
#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstring>

#include "Console.h"

namespace console {

void Prepare() { std::setlocale(LC_ALL, ""); }

std::vector<std::string> Arguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

std::optional<std::string> TextAsUtf8(const std::string& argument) {
  const char* codeset = nl_langinfo(CODESET);
  if (std::strcmp(codeset, "UTF-8") == 0) return argument;
  iconv_t convert = iconv_open("UTF-8", codeset);
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the error value that iconv_open returns
  if (convert == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(argument.size() * 4, '\0');
  char* in = const_cast<char*>(argument.data());
  std::size_t inLeft = argument.size();
  char* put = out.data();
  std::size_t outLeft = out.size();
  const bool converted = iconv(convert, &in, &inLeft, &put, &outLeft) != static_cast<size_t>(-1);
  iconv_close(convert);
  if (!converted) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

std::string CharacterSet() { return nl_langinfo(CODESET); }

bool ErrorsShowOnATerminal() { return isatty(STDERR_FILENO) != 0; }

}  // namespace console
