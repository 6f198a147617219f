// Loading a VST 2.4 plug-in and answering its host callback, as a real host does.
#pragma once

#include "host/vst24abi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qhost {

// What the plug-in asked of the host, for the caller to inspect.
struct AutomationRecord {
  int64_t sample;  // host position when it was reported
  int32_t index;
  float value;
};

class VstPlugin {
public:
  VstPlugin() = default;
  ~VstPlugin();
  VstPlugin(const VstPlugin&) = delete;
  VstPlugin& operator=(const VstPlugin&) = delete;

  // dlopen, then VSTPluginMain or else main, with our callback, then effOpen unless told not to.
  // False with error() on failure.
  bool load(const std::string& path, bool open = true);
  // effClose and dlclose; safe to call twice.
  void unload();
  const std::string& error() const { return error_; }

  AEffect* effect() const { return effect_; }
  bool loaded() const { return effect_ != nullptr; }
  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);

  // Texts asked of the plug-in, through buffers far larger than the conventional sizes and always
  // terminated by us, so an overlong answer is cut rather than overrunning anything.
  static constexpr size_t textBufferBytes = 512;
  std::string parameterName(int32_t index);
  std::string parameterDisplay(int32_t index);
  std::string parameterLabel(int32_t index);
  std::string effectName();
  std::string vendorString();
  std::string productString();
  intptr_t canDo(const char* what);

  // The host's side of the conversation.
  void setSampleRate(double rate);
  void setBlockSize(int32_t frames);
  double sampleRate() const { return sampleRate_; }
  int32_t blockSize() const { return blockSize_; }
  VstTimeInfo& timeInfo() { return timeInfo_; }
  void setProcessing(bool offline) { processLevel_ = offline ? kVstProcessLevelOffline : kVstProcessLevelUser; }

  // Host-side state the plug-in changed through the callback.
  bool wantsMidi() const { return wantsMidi_; }
  const std::vector<AutomationRecord>& automation() const { return automation_; }
  int idleCalls() const { return idleCalls_; }
  int windowWidth() const { return windowWidth_; }
  int windowHeight() const { return windowHeight_; }
  int beginEditCalls() const { return beginEdits_; }
  int endEditCalls() const { return endEdits_; }
  // Callback opcodes the host does not know; each is answered 0.
  const std::vector<int32_t>& unknownOpcodes() const { return unknown_; }

  static const char* hostVendor() { return "Quorix Project"; }
  static const char* hostProduct() { return "quorix-host"; }
  static constexpr intptr_t hostVersion = 2400;

  // Answers one callback for this plug-in (public for the static trampoline).
  intptr_t callback(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

private:
  std::string text(int32_t opcode, int32_t index);

  void* library_ = nullptr;
  AEffect* effect_ = nullptr;
  std::string path_;
  std::string error_;
  double sampleRate_ = 44100.0;
  int32_t blockSize_ = 512;
  int32_t processLevel_ = kVstProcessLevelUser;
  VstTimeInfo timeInfo_{};
  bool wantsMidi_ = false;
  std::vector<AutomationRecord> automation_;
  int idleCalls_ = 0;
  int windowWidth_ = 0;
  int windowHeight_ = 0;
  int beginEdits_ = 0;
  int endEdits_ = 0;
  std::vector<int32_t> unknown_;
};

}  // namespace qhost
