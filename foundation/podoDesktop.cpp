#include "foundation/podoDesktop.h"

#include <atomic>
#include <thread>

namespace podo {

namespace {

std::atomic<DesktopLayer *> layerInUse{nullptr};
// No thread until the host's first call marks one: without it no box ever blocks.
std::atomic<std::thread::id> userInterfaceThread{};

} // namespace

DesktopLayer *setDesktopLayer(DesktopLayer *layer) { return layerInUse.exchange(layer); }

DesktopLayer *desktopLayer() { return layerInUse.load(); }

void setUserInterfaceThread() { userInterfaceThread.store(std::this_thread::get_id()); }

bool isUserInterfaceThread() { return userInterfaceThread.load() == std::this_thread::get_id(); }

} // namespace podo
