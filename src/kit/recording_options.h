// The recording options of sys.ini's "[录音选项]" section: margins before and after a take, the
// channel count, whether the input stays open between takes, the interface language, how
// recordings are named, whether they are annotated, and hands-free recording. Plain
// values; app/ reads and writes them, the recorder and the window follow them. GUI thread only.
#pragma once

#include <QString>

namespace quillar {

inline constexpr char16_t kOptionsSection[] = u"录音选项";
inline constexpr char16_t kPrerollKey[] = u"预录毫秒";
inline constexpr char16_t kPostrollKey[] = u"延录毫秒";
inline constexpr char16_t kChannelsKey[] = u"声道";
inline constexpr char16_t kKeepInputKey[] = u"保持输入";
inline constexpr char16_t kLanguageKey[] = u"界面语言";
inline constexpr char16_t kNameTemplateKey[] = u"文件名模板";
inline constexpr char16_t kAsciiNamesKey[] = u"文件名仅ASCII";
inline constexpr char16_t kAnnotationsKey[] = u"标注文件";
inline constexpr char16_t kHandsFreeKey[] = u"自动录音";
inline constexpr char16_t kHandsFreeSensitivityKey[] = u"自动灵敏度分贝";
inline constexpr char16_t kHandsFreeSilenceKey[] = u"自动静音毫秒";

inline constexpr int kMaxMarginMs = 2000;
// The ranges of the hands-free options: dB above the room's noise, ms of silence.
inline constexpr int kMinSensitivityDb = 3;
inline constexpr int kMaxSensitivityDb = 40;
inline constexpr int kMinSilenceMs = 200;
inline constexpr int kMaxSilenceMs = 5000;

struct RecordingOptions {
    // What a sys.ini without the section means.
    int preroll_ms = 300;   // 0..kMaxMarginMs; 0 whenever the input is not kept open
    int postroll_ms = 300;  // 0..kMaxMarginMs
    int channels = 2;       // 1 (mono) or 2 (stereo)
    bool keep_input = true;
    QString language = QStringLiteral("auto");  // "auto", "zh" or "en"
    // How a recording's path inside the auto-save folder is composed ({id}, {item}, {gloss},
    // {speaker}, {list}, "/" for subfolders); empty: the list's own default, {item} for a plain
    // list and {id}{item} for a table.
    QString name_template;
    // Every composed name archive-safe: only A-Z a-z 0-9 - _.
    bool ascii_names = false;
    // Every saved take gets a Praat TextGrid beside its WAV, its speech marked with the item.
    bool annotations = false;
    // Hands-free recording (only with the input kept open): the voice begins a take when it is
    // this many dB above the room's noise floor, and this much silence ends it.
    bool hands_free = false;
    int sensitivity_db = 12;  // kMinSensitivityDb..kMaxSensitivityDb
    int silence_ms = 800;     // kMinSilenceMs..kMaxSilenceMs

    // No margins, stereo, the device opened at each take: the recorder of old, which the
    // program is until its settings are read (and which tests keep unless they choose).
    static RecordingOptions withoutMargins() {
        RecordingOptions o;
        o.preroll_ms = 0;
        o.postroll_ms = 0;
        o.keep_input = false;
        return o;
    }
    // The pre-roll that applies: none unless the input is kept open.
    int effectivePrerollMs() const { return keep_input ? preroll_ms : 0; }

    friend bool operator==(const RecordingOptions&, const RecordingOptions&) = default;
};

}  // namespace quillar
