// The console of Windows: arguments are UTF-16, and the console shows UTF-8 once asked to.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// after windows.h, which it needs
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "Console.h"

namespace console {
namespace {

std::string Utf8(const wchar_t* wide) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), size, nullptr, nullptr);
  out.pop_back();  // the terminating null
  return out;
}

}  // namespace

void Prepare() { SetConsoleOutputCP(CP_UTF8); }

std::vector<std::string> Arguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; wide != nullptr && i < count; ++i)
    arguments.push_back(Utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

std::optional<std::string> TextAsUtf8(const std::string& argument) { return argument; }

std::string CharacterSet() { return "UTF-16"; }

bool ErrorsShowOnATerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace console
