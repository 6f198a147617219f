#include "tools/vsthost/VstPlugin.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

namespace qhost {

namespace {

// The callback gets only the plug-in's record (or null while the entry runs), so the host finds its
// own object through this table. The record address is the plug-in's; we never write into it.
std::mutex registryMutex;
std::vector<std::pair<AEffect*, VstPlugin*>> registry;
thread_local VstPlugin* loadingPlugin = nullptr;

VstPlugin* findPlugin(AEffect* effect)
{
  if (effect) {
    std::lock_guard<std::mutex> lock(registryMutex);
    for (auto& [e, p] : registry)
      if (e == effect) return p;
  }
  return loadingPlugin;
}

intptr_t hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  if (VstPlugin* plugin = findPlugin(effect)) return plugin->callback(opcode, index, value, ptr, opt);
  // A call we cannot place: answer what any host answers without knowing the plug-in.
  return opcode == audioMasterVersion ? VstPlugin::hostVersion : 0;
}

void copyText(void* ptr, const char* text, size_t size)
{
  if (!ptr || size == 0) return;
  std::strncpy(static_cast<char*>(ptr), text, size - 1);
  static_cast<char*>(ptr)[size - 1] = 0;
}

using EntryProc = AEffect* (*)(audioMasterCallback);

}  // namespace

VstPlugin::~VstPlugin() { unload(); }

bool VstPlugin::load(const std::string& path, bool open)
{
  unload();
  error_.clear();
  path_ = path;
  dlerror();
  library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library_) {
    const char* why = dlerror();
    error_ = why ? why : "cannot load";
    return false;
  }
  // The plug-in's own entry: VSTPluginMain, else main (which many Linux plug-ins export alone). The
  // symbol must lie in the plug-in itself, never in a library it depends on.
  struct link_map* own = nullptr;
  dlinfo(library_, RTLD_DI_LINKMAP, &own);
  EntryProc entry = nullptr;
  for (const char* name : {"VSTPluginMain", "main"}) {
    void* symbol = dlsym(library_, name);
    Dl_info info{};
    if (symbol && own && dladdr(symbol, &info) && info.dli_fname && own->l_name &&
        std::strcmp(info.dli_fname, own->l_name) == 0) {
      entry = reinterpret_cast<EntryProc>(symbol);
      break;
    }
  }
  if (!entry) {
    error_ = "no VST 2.4 entry point (VSTPluginMain or main)";
    dlclose(library_);
    library_ = nullptr;
    return false;
  }
  loadingPlugin = this;
  AEffect* effect = entry(&hostCallback);
  loadingPlugin = nullptr;
  if (!effect) {
    error_ = "the plug-in made no instance";
    dlclose(library_);
    library_ = nullptr;
    return false;
  }
  if (effect->magic != kEffectMagic || !effect->dispatcher) {
    error_ = "the entry point returned no VST 2.4 effect record";
    dlclose(library_);
    library_ = nullptr;
    return false;
  }
  if (effect->numInputs < 0 || effect->numInputs > 64 || effect->numOutputs < 0 || effect->numOutputs > 64 ||
      effect->numParams < 0 || effect->numPrograms < 0) {
    error_ = "the effect record holds impossible counts";
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    dlclose(library_);
    library_ = nullptr;
    return false;
  }
  effect_ = effect;
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    registry.emplace_back(effect_, this);
  }
  if (open) dispatch(effOpen);
  return true;
}

void VstPlugin::unload()
{
  if (effect_) {
    AEffect* effect = effect_;
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);  // the record is gone after this
    effect_ = nullptr;
    std::lock_guard<std::mutex> lock(registryMutex);
    registry.erase(std::remove_if(registry.begin(), registry.end(),
                                  [&](const auto& entry) { return entry.second == this; }),
                   registry.end());
  }
  if (library_) {
    dlclose(library_);
    library_ = nullptr;
  }
}

intptr_t VstPlugin::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  if (!effect_) return 0;
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string VstPlugin::text(int32_t opcode, int32_t index)
{
  char buffer[textBufferBytes];
  std::memset(buffer, 0, sizeof buffer);
  dispatch(opcode, index, 0, buffer, 0.0f);
  buffer[sizeof buffer - 1] = 0;
  return buffer;
}

std::string VstPlugin::parameterName(int32_t index) { return text(effGetParamName, index); }
std::string VstPlugin::parameterDisplay(int32_t index) { return text(effGetParamDisplay, index); }
std::string VstPlugin::parameterLabel(int32_t index) { return text(effGetParamLabel, index); }
std::string VstPlugin::effectName() { return text(effGetEffectName, 0); }
std::string VstPlugin::vendorString() { return text(effGetVendorString, 0); }
std::string VstPlugin::productString() { return text(effGetProductString, 0); }

intptr_t VstPlugin::canDo(const char* what)
{
  char buffer[64];
  copyText(buffer, what, sizeof buffer);
  return dispatch(effCanDo, 0, 0, buffer, 0.0f);
}

void VstPlugin::setSampleRate(double rate)
{
  sampleRate_ = rate;
  timeInfo_.sampleRate = rate;
  dispatch(effSetSampleRate, 0, 0, nullptr, float(rate));
}

void VstPlugin::setBlockSize(int32_t frames)
{
  blockSize_ = frames;
  dispatch(effSetBlockSize, 0, frames, nullptr, 0.0f);
}

intptr_t VstPlugin::callback(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  switch (opcode) {
    case audioMasterVersion: return hostVersion;
    case audioMasterAutomate:
      automation_.push_back({int64_t(timeInfo_.samplePos), index, opt});
      return 0;
    case audioMasterCurrentId: return 0;
    case audioMasterIdle: ++idleCalls_; return 0;
    case audioMasterPinConnected: {
      // value 0 asks about an input, 1 about an output; the answer 0 means connected.
      if (!effect_) return 0;
      int32_t pins = value ? effect_->numOutputs : effect_->numInputs;
      return (index >= 0 && index < pins) ? 0 : 1;
    }
    case audioMasterWantMidi: wantsMidi_ = true; return 1;
    case audioMasterGetTime: return reinterpret_cast<intptr_t>(&timeInfo_);
    case audioMasterProcessEvents: return 0;  // events sent back by the plug-in are not routed
    case audioMasterSizeWindow:
      windowWidth_ = index;
      windowHeight_ = int(value);
      return 1;
    case audioMasterGetSampleRate: return intptr_t(sampleRate_);
    case audioMasterGetBlockSize: return blockSize_;
    case audioMasterGetInputLatency:
    case audioMasterGetOutputLatency: return 0;
    case audioMasterGetCurrentProcessLevel: return processLevel_;
    case audioMasterGetAutomationState: return kVstAutomationOff;
    case audioMasterGetVendorString: copyText(ptr, hostVendor(), kVstMaxVendorStrLen); return 1;
    case audioMasterGetProductString: copyText(ptr, hostProduct(), kVstMaxProductStrLen); return 1;
    case audioMasterGetVendorVersion: return 1;
    case audioMasterCanDo: {
      if (!ptr) return 0;
      const char* what = static_cast<const char*>(ptr);
      for (const char* yes : {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "sizeWindow",
                              "supplyIdle"})
        if (std::strncmp(what, yes, 64) == 0) return 1;
      return 0;
    }
    case audioMasterGetLanguage: return 1;  // English
    case audioMasterUpdateDisplay: return 1;
    case audioMasterBeginEdit: ++beginEdits_; return 1;
    case audioMasterEndEdit: ++endEdits_; return 1;
    case audioMasterIOChanged: return 0;
    case audioMasterNeedIdle: return 1;
    default:
      unknown_.push_back(opcode);
      return 0;
  }
}

}  // namespace qhost
