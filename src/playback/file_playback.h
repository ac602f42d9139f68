// Playing the current item's saved recording with the progress bar and the waveform cursor.
#pragma once

namespace quillar {

struct App;

// Click on 按钮_播放录音 and Ctrl in the item list (GUI thread). Plays the file named in
// 编辑框_当前录音文件.
void PlayCurrentRecording(App& app);

}  // namespace quillar
