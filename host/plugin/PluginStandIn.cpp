// Stand-in for the instrument until the engine takes its place: an instance that answers the host
// through the frame and renders silence. The engine replaces this file with its own definition of
// createPluginInstance (which builds the engine class); delete this file when it does.
#include "host/KestraneVST.h"
#include "host/PluginFactory.h"

#include <cstdio>
#include <cstring>

namespace {

class PluginStandIn : public KestraneVSTInstrument
{
public:
    explicit PluginStandIn(audioMasterCallback audioMaster) : KestraneVSTInstrument(audioMaster, 1, 128) {}
    ~PluginStandIn() override { deleteEditor(); }

    void onProcessReplacing(float **, float **outputs, int32_t frames) override
    {
        for (int32_t i = 0; i < cEffect.numOutputs; ++i)
            if (outputs && outputs[i])
                std::memset(outputs[i], 0, sizeof(float) * size_t(frames > 0 ? frames : 0));
    }

    // Two stereo pairs: "Quorix main" and "Quorix sub".
    bool getOutputProperties(int32_t index, VstPinProperties *pin) override
    {
        if (index < 0 || index > 3 || !pin)
            return false;
        std::snprintf(pin->label, sizeof pin->label, "%s %s", KestraneVST::productName.getNarrow(), index < 2 ? "main" : "sub");
        pin->flags = kVstPinIsActive | kVstPinIsStereo;
        return true;
    }
};

} // namespace

podoVST *createPluginInstance(audioMasterCallback audioMaster) { return new PluginStandIn(audioMaster); }
