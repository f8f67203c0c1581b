// duskmend-gensave: writes a deterministic, realistic world save of about SIZE bytes.
//
//   duskmend-gensave [--lf] [--old] [--no-line-end] SIZE PATH
//
// SIZE takes the suffixes K, M and G (powers of 1024). The save has a header block, then
// sections of KEY=VALUE lines, each section after a blank line and a "[...]" header.
// About one section in 400 is a sector. It is written as Sphere 0.56b and later write it:
// "[SECTOR x,y,0,map]", FLAGS= when it has flags, LIGHT= when its light is set, then
// RAINCHANCE, COLDCHANCE and SEASON; some characters carry a LIGHT= of their own. With --old,
// as Sphere 0.56a and earlier did: "[SECTOR x,y]", LOCALLIGHT=, and RAINCHANCE and COLDCHANCE
// after it in some sectors. Most sectors carry a light entry. Lines end in CR LF, or LF
// with --lf.
// --no-line-end writes SIZE bytes of key text without any line end at all.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {  // splitmix64
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  unsigned Below(unsigned bound) { return static_cast<unsigned>(Next() % bound); }

 private:
  std::uint64_t state_;
};

constexpr std::array kItemTypes{"i_gold",    "i_apple", "i_dagger",   "i_tunic",
                                "i_bandage", "i_log",   "i_ore_iron", "i_reagent_ginseng"};
constexpr std::array kCharTypes{"c_man", "c_woman", "c_horse_brown", "c_ostard", "c_llama"};
constexpr std::array kNames{"Aldric", "Brenna", "Corwin", "Dalia", "Edric", "Fenna"};

class SaveWriter {
 public:
  SaveWriter(std::FILE* out, bool lfOnly) : out_(out), lineEnd_(lfOnly ? "\n" : "\r\n") {}

  void Line(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fwrite(lineEnd_.data(), 1, lineEnd_.size(), out_);
    written_ += text.size() + lineEnd_.size();
  }
  std::uint64_t Written() const { return written_; }

 private:
  std::FILE* out_;
  std::string_view lineEnd_;
  std::uint64_t written_ = 0;
};

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0%llx", static_cast<unsigned long long>(value));
  return text;
}

std::string Point(Random& random) {
  return std::to_string(random.Below(6144)) + "," + std::to_string(random.Below(4096)) + "," +
         std::to_string(random.Below(40));
}

void WriteOldSector(SaveWriter& save, Random& random) {
  save.Line("[SECTOR " + std::to_string(random.Below(768)) + "," +
            std::to_string(random.Below(512)) + "]");
  unsigned kind = random.Below(10);
  if (kind < 8) save.Line("LOCALLIGHT=" + std::to_string(random.Below(31)));
  if (kind < 3 || kind == 9) {
    save.Line("RAINCHANCE=" + std::to_string(random.Below(100)));
    save.Line("COLDCHANCE=" + std::to_string(random.Below(100)));
  }
}

void WriteSector(SaveWriter& save, Random& random) {
  save.Line("[SECTOR " + std::to_string(random.Below(768)) + "," +
            std::to_string(random.Below(512)) + ",0," + std::to_string(random.Below(2)) + "]");
  const unsigned kind = random.Below(10);
  if (kind < 2 || kind == 9) save.Line("FLAGS=" + Hex(1u << random.Below(8)));
  if (kind < 8) save.Line("LIGHT=" + std::to_string(random.Below(31)));
  if (kind < 5 || kind == 9) {
    save.Line("RAINCHANCE=" + std::to_string(random.Below(100)));
    save.Line("COLDCHANCE=" + std::to_string(random.Below(100)));
    save.Line("SEASON=" + std::to_string(random.Below(5)));
  }
}

void WriteItem(SaveWriter& save, Random& random, std::uint64_t serial) {
  save.Line(std::string("[WORLDITEM ") + kItemTypes[random.Below(kItemTypes.size())] + "]");
  save.Line("SERIAL=" + Hex(0x40000000 + serial));
  if (random.Below(3) == 0) save.Line("AMOUNT=" + std::to_string(1 + random.Below(500)));
  if (random.Below(4) == 0) save.Line("COLOR=0" + Hex(random.Below(0x500)));
  if (random.Below(5) == 0) save.Line("CONT=" + Hex(0x40000000 + random.Below(1 << 20)));
  save.Line("P=" + Point(random));
}

void WriteChar(SaveWriter& save, Random& random, std::uint64_t serial, bool old) {
  save.Line(std::string("[WORLDCHAR ") + kCharTypes[random.Below(kCharTypes.size())] + "]");
  save.Line("SERIAL=" + Hex(serial));
  save.Line(std::string("NAME=") + kNames[random.Below(kNames.size())]);
  save.Line("DIR=" + std::to_string(random.Below(8)));
  save.Line("STR=" + std::to_string(10 + random.Below(90)));
  save.Line("DEX=" + std::to_string(10 + random.Below(90)));
  save.Line("INT=" + std::to_string(10 + random.Below(90)));
  save.Line("HITS=" + std::to_string(1 + random.Below(100)));
  if (!old && random.Below(20) == 0) save.Line("LIGHT=" + std::to_string(random.Below(31)));
  save.Line("P=" + Point(random));
}

void WriteSave(std::FILE* out, std::uint64_t size, bool lfOnly, bool old) {
  Random random(0x5EC7025);
  SaveWriter save(out, lfOnly);
  save.Line("// Sphere world save, written by duskmend-gensave");
  save.Line("[SPHERE]");
  if (!old) save.Line("TITLE=Duskmend test shard");
  save.Line(old ? "VERSION=0.56a" : "VERSION=X1 Nightly");
  save.Line("TIME=" + std::to_string(1000000 + random.Below(1000000)));
  save.Line("SAVECOUNT=" + std::to_string(random.Below(5000)));
  for (std::uint64_t serial = 1; save.Written() < size; ++serial) {
    save.Line("");
    unsigned kind = random.Below(400);
    if (kind == 0) {
      old ? WriteOldSector(save, random) : WriteSector(save, random);
    } else if (kind < 60) {
      WriteChar(save, random, serial, old);
    } else {
      WriteItem(save, random, serial);
    }
  }
  save.Line("");
  save.Line("[EOF]");
}

void WriteWithoutLineEnd(std::FILE* out, std::uint64_t size) {
  // One line that is not a sector header, so a reader may not hold it whole.
  constexpr std::string_view kChunk = "LOCALLIGHT=3 RAINCHANCE=0 [SECTOR 1,1] ";
  for (std::uint64_t left = size; left > 0;) {
    std::size_t now = left < kChunk.size() ? static_cast<std::size_t>(left) : kChunk.size();
    std::fwrite(kChunk.data(), 1, now, out);
    left -= now;
  }
}

bool ParseSize(const char* text, std::uint64_t& size) {
  char* end = nullptr;
  size = std::strtoull(text, &end, 10);
  if (end == text) return false;
  const std::string_view units = "KMG";
  if (std::size_t unit = units.find(*end); *end != '\0' && unit != std::string_view::npos) {
    size <<= 10 * (unit + 1);
    ++end;
  }
  return *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  bool lfOnly = false;
  bool noLineEnd = false;
  bool old = false;
  int arg = 1;
  for (; arg < argc && argv[arg][0] == '-'; ++arg) {
    if (std::strcmp(argv[arg], "--lf") == 0)
      lfOnly = true;
    else if (std::strcmp(argv[arg], "--old") == 0)
      old = true;
    else if (std::strcmp(argv[arg], "--no-line-end") == 0)
      noLineEnd = true;
    else
      break;
  }
  std::uint64_t size = 0;
  if (argc - arg != 2 || !ParseSize(argv[arg], size)) {
    std::fprintf(stderr, "usage: duskmend-gensave [--lf] [--old] [--no-line-end] SIZE PATH\n");
    return 2;
  }
  std::FILE* out = std::fopen(argv[arg + 1], "wb");
  if (!out) {
    std::perror(argv[arg + 1]);
    return 1;
  }
  static char buffer[1 << 20];
  std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
  if (noLineEnd)
    WriteWithoutLineEnd(out, size);
  else
    WriteSave(out, size, lfOnly, old);
  if (std::fclose(out) != 0) {
    std::perror(argv[arg + 1]);
    return 1;
  }
  return 0;
}
