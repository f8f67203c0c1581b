#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "FileSystem.h"
#include "PassMessage.h"
#include "PassRunner.h"
#include "ProgressSink.h"
#include "SavePasses.h"
#include "WindowModel.h"
#include "WindowView.h"

namespace duskmend::test {

// A path given as UTF-8 text, and back: the core's paths are UTF-8 on every system.
std::filesystem::path Native(const std::string& utf8);
std::string Utf8(const std::filesystem::path& path);

// A fresh folder for one test, removed with everything in it afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  // The path of `name` in the folder, as UTF-8 text.
  std::string Path(const std::string& name) const { return Utf8(path_ / Native(name)); }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// The lines joined, each followed by CR LF.
std::string CrLf(const std::vector<std::string>& lines);

// Takes what a pass shows to the model, as the window does, and runs `onYield` in every yield.
class Recorder : public ProgressSink, public WindowView {
 public:
  void SetBarWidth(float width) override {
    if (model) model->SetBarWidth(width);
  }
  void SetStatusText(const std::string& text) override {
    if (model) model->SetStatusText(text);
  }
  void YieldToEvents() override { Yield(); }
  void YieldToEventsAtEnd() override { Yield(); }  // the window never skips it
  void ShowPathText(const std::string&) override {}
  void ShowLightsCount(const std::string&) override {}
  void ShowSectorsCount(const std::string&) override {}
  void ShowStatusText(const std::string&) override {}
  void ShowBarWidth(float) override {}
  // Its file calls run on a helper thread, as the window's do.
  bool KeepsAlive() const override { return keepsAlive; }

  bool keepsAlive = true;
  WindowModel* model = nullptr;
  std::function<void()> onYield;  // runs inside every yield, as a click would

 private:
  void Yield() {
    if (onYield) onYield();
  }
};

// Answers the question with `answer` and records every message box's text.
class ScriptedDialogs : public Dialogs {
 public:
  void ShowMessage(const std::string& prompt, int, const std::string&) override {
    messages.push_back(prompt);
  }
  std::string AskForText(const std::string&, const std::string&) override { return answer; }

  std::string answer;
  std::vector<std::string> messages;
};

// A window's worth of core: model, sink, dialogs and runner, wired as the window wires them.
struct Harness {
  explicit Harness(FileSystem& fs = SystemFileSystem(), BufferSizes buffers = {})
      : runner(model, recorder, dialogs, fs, buffers) {
    recorder.model = &model;
  }
  // Loads `path` as the open command does.
  void Load(const std::string& path) { model.SetPathText(path); }

  Recorder recorder;
  ScriptedDialogs dialogs;
  WindowModel model{&recorder};
  PassRunner runner;
};

// The passes over a path, as the command line runs them: a recorder for their progress, and
// the stop flag that a yield may set.
struct PathHarness {
  explicit PathHarness(FileSystem& fs = SystemFileSystem(), BufferSizes buffers = {})
      : passes(recorder, stop, fs, buffers) {}

  Recorder recorder;
  std::atomic<bool> stop{false};
  SavePasses passes;
};

// Forwards every call to another file system, the machine's own by default, after asking
// `fault` whether the call fails instead (a test may also act there, just before the call),
// and runs `afterCall` once it is done. Records the calls it sees.
class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& inner = SystemFileSystem()) : system_(inner) {}

#define DUSKMEND_FORWARD(Name, Parameters, Arguments)       \
  std::error_code Name Parameters override {                \
    if (std::error_code error = Enter(#Name)) return error; \
    return Leave(#Name, system_.Name Arguments);            \
  }
  DUSKMEND_FORWARD(Open, (const std::string& path, OpenMode mode, FileHandle& file),
                   (path, mode, file))
  DUSKMEND_FORWARD(Size, (FileHandle file, std::uint64_t& size), (file, size))
  DUSKMEND_FORWARD(Read, (FileHandle file, char* buffer, std::size_t size, std::size_t& got),
                   (file, buffer, size, got))
  DUSKMEND_FORWARD(Write, (FileHandle file, const char* data, std::size_t size), (file, data, size))
  DUSKMEND_FORWARD(Sync, (FileHandle file), (file))
  DUSKMEND_FORWARD(Copy,
                   (FileHandle from, std::uint64_t offset, std::uint64_t length, FileHandle to),
                   (from, offset, length, to))
  DUSKMEND_FORWARD(CopyPermissions, (FileHandle like, FileHandle to), (like, to))
  DUSKMEND_FORWARD(Truncate, (FileHandle file, std::uint64_t size), (file, size))
  DUSKMEND_FORWARD(Lock, (FileHandle file, bool& taken), (file, taken))
  DUSKMEND_FORWARD(IdentityOf, (FileHandle file, FileIdentity& identity), (file, identity))
  DUSKMEND_FORWARD(IdentityAt, (const std::string& path, FileIdentity& identity), (path, identity))
  DUSKMEND_FORWARD(FreeSpace, (const std::string& path, std::uint64_t& bytes, std::uint64_t& disk),
                   (path, bytes, disk))
  DUSKMEND_FORWARD(Rename, (const std::string& from, const std::string& to), (from, to))
  DUSKMEND_FORWARD(Link, (const std::string& existing, const std::string& added), (existing, added))
  DUSKMEND_FORWARD(Move, (const std::string& from, const std::string& to), (from, to))
  DUSKMEND_FORWARD(Exchange, (const std::string& a, const std::string& b), (a, b))
  DUSKMEND_FORWARD(Watch, (const std::string& path, FileHandle& watch), (path, watch))
  DUSKMEND_FORWARD(Changed, (FileHandle watch, bool& changed, bool& written),
                   (watch, changed, written))
  DUSKMEND_FORWARD(WatchName, (const std::string& path, FileHandle& watch), (path, watch))
  DUSKMEND_FORWARD(NameChanges, (FileHandle watch, const std::string& path, int& count),
                   (watch, path, count))
  DUSKMEND_FORWARD(Remove, (const std::string& path), (path))
  DUSKMEND_FORWARD(SyncFolderOf, (const std::string& path), (path))
  DUSKMEND_FORWARD(ResolveLinks, (const std::string& path, std::string& target), (path, target))
  DUSKMEND_FORWARD(Mark, (FileHandle file, const std::string& name), (file, name))
  DUSKMEND_FORWARD(MarkOf, (FileHandle file, std::string& name), (file, name))
#undef DUSKMEND_FORWARD
  std::error_code Close(FileHandle file) override;
  bool ReplacesOpenFiles() const override { return system_.ReplacesOpenFiles(); }
  std::error_code MayReplace(const std::string& path, std::string& reason) override;
  void Forget(FileHandle file, std::uint64_t offset, std::uint64_t length) override {
    calls.push_back("Forget");
    system_.Forget(file, offset, length);
  }
  void StartWriteBack(FileHandle file, std::uint64_t offset, std::uint64_t length) override {
    calls.push_back("StartWriteBack");
    system_.StartWriteBack(file, offset, length);
  }

  std::vector<std::string> calls;
  // The error that the call named so fails with, or none to let it through.
  std::function<std::error_code(const std::string& call)> fault;
  std::function<void(const std::string& call)> afterCall;  // to look between two calls

 protected:
  std::error_code Enter(const std::string& name) {
    calls.push_back(name);
    return fault ? fault(name) : std::error_code{};
  }
  std::error_code Leave(const char* name, std::error_code result) {
    if (afterCall) afterCall(name);
    return result;
  }

 private:
  FileSystem& system_;
};

}  // namespace duskmend::test
