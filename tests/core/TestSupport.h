#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "FileSystem.h"
#include "FileSystemWrapper.h"
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
class ForwardingFileSystem : public FileSystemWrapper {
 public:
  explicit ForwardingFileSystem(FileSystem& inner = SystemFileSystem())
      : FileSystemWrapper(inner) {}

  std::error_code Close(FileHandle file) override;
  std::error_code MayReplace(const std::string& path, std::string& reason) override;
  void Forget(FileHandle file, std::uint64_t offset, std::uint64_t length) override {
    calls.push_back("Forget");
    FileSystemWrapper::Forget(file, offset, length);
  }
  void StartWriteBack(FileHandle file, std::uint64_t offset, std::uint64_t length) override {
    calls.push_back("StartWriteBack");
    FileSystemWrapper::StartWriteBack(file, offset, length);
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
  std::error_code Forward(const char* call,
                          const std::function<std::error_code()>& forward) override {
    if (std::error_code error = Enter(call)) return error;
    return Leave(call, forward());
  }
};

}  // namespace duskmend::test
