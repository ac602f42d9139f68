#include "app/meter_channel.h"

#include "kit/app.h"

namespace quillar {

audio::Handle MeterChannel(const App& app) {
    return app.state.record_handle.load(std::memory_order_acquire);
}

}  // namespace quillar
