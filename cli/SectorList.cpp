#include "SectorList.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// The core's paths are UTF-8 on every system; Windows opens files by UTF-16 names.
std::filesystem::path Native(const std::string& utf8) {
#if defined(_WIN32)
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#else
  return utf8;
#endif
}

}  // namespace

std::optional<std::vector<std::string>> ReadSectorList(const std::string& path, std::string& why) {
  std::ifstream in(Native(path), std::ios::binary);
  std::string text;
  if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in || in.bad()) {
    why = "cannot read the list of sectors " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  // Control bytes other than tabs and line ends are no text: a save given by mistake, say.
  if (std::any_of(text.begin(), text.end(), [](char c) {
        return (c >= 0 && c < ' ' && c != '\t' && c != '\r' && c != '\n') || c == 0x7f;
      })) {
    why = "the list of sectors " + path + " is no text";
    return std::nullopt;
  }
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
    if (text.find_first_not_of(" \t", at) < end) lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  if (lines.empty()) {
    why = "the list of sectors " + path + " names no sector";
    return std::nullopt;
  }
  return lines;
}
