#include "app/meter_channel.h"

#include "kit/app.h"
#include "record/recorder.h"

namespace quillar {

audio::Handle MeterChannel(const App& app) {
    // The kept input between takes, or the take's own device while it records.
    return app.recorder ? app.recorder->channel() : 0;
}

}  // namespace quillar
