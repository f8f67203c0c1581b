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
#include "WindowsFileSystem.h"

namespace console {

void Prepare() { SetConsoleOutputCP(CP_UTF8); }

std::vector<std::string> Arguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; wide != nullptr && i < count; ++i)
    arguments.push_back(duskmend::windows::Utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

std::optional<std::string> TextAsUtf8(const std::string& argument) { return argument; }

std::string CharacterSet() { return "UTF-16"; }

bool ErrorsShowOnATerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace console
