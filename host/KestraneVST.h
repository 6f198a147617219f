// The maker's layer of every instance: product identity, the product's registry values, and the
// folders every other part uses (application folder with the factory library, user folder with the
// user's files and the log, the module's own folder).
#pragma once

#include "foundation/podoStr.h"
#include "host/podoVST.h"

#include <cstdint>

struct ProductPaths {
    podoStr appFolder;    // ends with a separator unless empty
    podoStr userFolder;   // ends with a separator unless empty
    podoStr moduleFolder; // ends with a separator unless empty
    podoStr logFile;      // empty when no user folder could be had
};

class KestraneVST
{
public:
    KestraneVST();
    virtual ~KestraneVST();

    // Registry selector: low 16 bits 0 for the machine-wide values, else the user's.
    virtual bool readRegistryString(int32_t selector, const podoStr &name, podoStr *out);
    virtual bool writeRegistryString(int32_t selector, const podoStr &name, const podoStr &text);
    virtual bool readMachineRegistryString(const podoStr &name, podoStr *out) { return readRegistryString(0, name, out); }
    virtual bool writeMachineRegistryString(const podoStr &name, const podoStr &text)
    {
        return writeRegistryString(0, name, text);
    }
    virtual const ProductPaths &getPaths() { return paths; }
    virtual const podoStr &getUserPath() { return paths.userFolder; }
    virtual uint8_t getByteOrderMark() { return byteOrderMark; }
    // The packed product version, one part per byte (1.4.6.1 is 0x01040601).
    uint32_t getVersionWord() const { return versionWord; }

protected:
    podoStr productName;
    uint32_t versionWord = 0x01040601;
    podoStr registryProductKey;
    ProductPaths paths;
    uint8_t byteOrderMark = 76;

private:
    bool ownsLogFile = false; // this instance set the log path and must give it back
};

// The instrument frame with the maker's layer; the engine derives from this.
class KestraneVSTInstrument : public podoVSTInstrument, public KestraneVST
{
public:
    KestraneVSTInstrument(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams,
                          InstanceCounting counting = InstanceCounting::byFrame)
        : podoVSTInstrument(audioMaster, numPrograms, numParams, counting)
    {
    }
};
