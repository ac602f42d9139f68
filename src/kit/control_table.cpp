// The main window's layout table. Positions are pixels in the client area of the container.
#include "kit/control_table.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "audio/audio_engine.h"
#include "kit/drawing_board.h"
#include "kit/large_type_box.h"
#include "kit/main_form.h"
#include "kit/media_player.h"
#include "kit/shape_box.h"
#include "kit/ui_texts.h"

// Rows name only what differs from a control's defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace quillar {

namespace {

// One row, binding the made control to the member of the same name.
#define QL_ROW(member, kind, container, x, y, w, h, text, ...)                                        \
    ControlRow {                                                                                      \
#member, ControlKind::kind, container, QRect(x, y, w, h), text,                               \
            ControlLook{                                                                              \
                __VA_ARGS__ },                                                                        \
                [](MainForm & f,                                                                      \
                   QObject *                                                                          \
                       o) { f.member =                                                                \
                                static_cast<std::remove_reference_t<decltype(f.member)>>(o); } \
    }
// A row for a control that has no member pointer (dialogs keep their set-up as a value).
#define QL_PLAIN(name, kind, container, x, y, w, h)                                              \
    ControlRow {                                                                                 \
        name, ControlKind::kind, container, QRect(x, y, w, h), QString(), ControlLook{}, nullptr \
    }

const QColor kGreenBand(128, 224, 0);
const ControlFont kButtonFont{QString(), 16, 400};

}  // namespace

const std::vector<ControlRow>& mainWindowControls() {
    // clang-format off
    static const std::vector<ControlRow> rows = {
        QL_ROW(按钮_帮助, Button, "window", 992, -1, 48, 24, QT_TRANSLATE_NOOP("Quillar", "帮助")),
        QL_ROW(按钮_录音选项, Button, "window", 920, -1, 70, 24, QT_TRANSLATE_NOOP("Quillar", "录音选项")),
        QL_ROW(按钮_录音场次, Button, "window", 848, -1, 70, 24, QT_TRANSLATE_NOOP("Quillar", "录音场次")),
        QL_ROW(标签10, Label, "window", 2, 672, 1016, 24,
               QT_TRANSLATE_NOOP("Quillar", "Quillar 田野调查录音工具 · 开源软件，问题与建议请在项目主页反馈"),
               .foreground = QColor(0, 0, 0)),
        QL_ROW(分组框1, Group, "window", 8, 8, 304, 664, QT_TRANSLATE_NOOP("Quillar", "录音设置")),
        QL_ROW(分组框2, Group, "window", 320, 9, 712, 663, ""),

        QL_ROW(标签1, Label, "分组框1", 16, 16, 56, 32, QT_TRANSLATE_NOOP("Quillar", "录音设备")),
        QL_ROW(组合框1, Combo, "分组框1", 72, 22, 208, 20, ""),
        QL_ROW(标签2, Label, "分组框1", 16, 48, 56, 32, QT_TRANSLATE_NOOP("Quillar", "录音质量")),
        QL_ROW(组合框2, Combo, "分组框1", 72, 54, 208, 20, ""),
        QL_ROW(标签3, Label, "分组框1", 16, 80, 56, 32, QT_TRANSLATE_NOOP("Quillar", "输出功率")),
        QL_ROW(组合框3, Combo, "分组框1", 88, 86, 72, 20, ""),
        QL_ROW(选择框1, Check, "分组框1", 171, 83, 104, 24, QT_TRANSLATE_NOOP("Quillar", "实时回放录音")),
        QL_ROW(分组框6, Group, "分组框1", 8, 107, 280, 48, "",
               .font = ControlFont{QString(), 10, 400}),
        QL_ROW(单选框1, Radio, "分组框6", 16, 12, 80, 24, QT_TRANSLATE_NOOP("Quillar", "波浪频谱图")),
        QL_ROW(单选框2, Radio, "分组框6", 165, 12, 80, 24,
               QT_TRANSLATE_NOOP("Quillar", "柱型频谱图"), .checked = true),
        QL_ROW(标签6, Label, "分组框1", 8, 155, 280, 24, QT_TRANSLATE_NOOP("Quillar", "录音文件自动保存路径"),
               .background = kGreenBand),
        QL_ROW(编辑框_保存路径, Edit, "分组框1", 8, 182, 248, 40, ""),
        QL_ROW(按钮_设置保存路径, Button, "分组框1", 256, 182, 32, 40, QT_TRANSLATE_NOOP("Quillar", "设置")),
        QL_ROW(标签7, Label, "分组框1", 8, 227, 280, 24,
               QT_TRANSLATE_NOOP("Quillar", "录音内容源文件（支持ANSI和UTF-8两种编码）"),
               .background = kGreenBand),
        QL_ROW(编辑框_录音文本源路径, Edit, "分组框1", 8, 252, 248, 39, ""),
        QL_ROW(按钮_选择录音文本, Button, "分组框1", 256, 251, 32, 40, QT_TRANSLATE_NOOP("Quillar", "选择")),
        QL_PLAIN("通用对话框2", Dialog, "分组框1", 88, 259, 32, 24),
        QL_ROW(按钮_保存当前配置, Button, "分组框1", 192, 291, 96, 24, QT_TRANSLATE_NOOP("Quillar", "保存当前配置")),
        QL_ROW(标签8, Label, "分组框1", 8, 292, 80, 24,
               QT_TRANSLATE_NOOP("Quillar", "录音文本列表"), .background = kGreenBand),
        QL_ROW(标签_录音进度, Label, "分组框1", 90, 292, 100, 24, "0 / 0"),
        QL_ROW(列表框_录音文本列表, List, "分组框1", 8, 316, 280, 316, ""),
        QL_ROW(标签5, Label, "分组框1", 8, 634, 288, 24,
               QT_TRANSLATE_NOOP("Quillar", "确保焦点在列表，按回车键录音，再按回车自动保存。\r\n按CTRL 键可以播放当前选中的录音。"),
               .foreground = QColor(255, 0, 0)),

        QL_ROW(分组框5, Group, "分组框2", 8, 8, 688, 263, ""),
        QL_ROW(编辑框_当前录音文本, LargeTypeEdit, "分组框5", 8, 10, 672, 245, "",
               .font = ControlFont{"微软雅黑", 48, 700, {"Microsoft YaHei"}}),
        QL_ROW(标签_自动录音, Label, "分组框5", 16, 228, 300, 22, "", .background = QColor(0, 96, 0),
               .foreground = QColor(255, 255, 255), .hidden = true),
        QL_ROW(分组框7, Group, "分组框2", 8, 274, 688, 48, ""),
        QL_ROW(标签9, Label, "分组框7", 8, 16, 88, 24, QT_TRANSLATE_NOOP("Quillar", "已有录音文件：")),
        QL_ROW(编辑框_当前录音文件, Edit, "分组框7", 96, 11, 512, 32, ""),
        QL_ROW(进度条1, Progress, "分组框7", 96, 32, 512, 16, "", .hidden = true),
        QL_PLAIN("媒体播放1", MediaPlayer, "分组框7", 384, 16, 32, 24),
        QL_ROW(按钮_播放录音, Button, "分组框7", 624, 11, 56, 32,
               QT_TRANSLATE_NOOP("Quillar", "播放"), .disabled = true),
        QL_ROW(分组框8, Group, "分组框2", 8, 320, 688, 144, ""),
        QL_ROW(外形框1, Shape, "分组框8", 8, 13, 672, 123, "", .background = QColor(236, 236, 236)),
        QL_ROW(画板3, Board, "外形框1", 8, 0, 664, 91, "", .background = QColor(0, 96, 192)),
        QL_ROW(画板4, Board, "画板3", 16, 4, 640, 15, "", .background = QColor(0, 0, 128),
               .hidden = true),
        QL_ROW(标签_录音质量, Label, "画板3", 8, 73, 648, 18, "", .background = QColor(0, 48, 96),
               .foreground = QColor(255, 255, 255), .hidden = true),
        QL_ROW(画板5, Board, "外形框1", 8, 91, 672, 27, "", .background = kGreenBand),
        QL_ROW(标签_指针, Label, "外形框1", 3, 88, 10, 10, "▲", .foreground = QColor(0, 255, 0),
               .hidden = true),
        QL_ROW(外形框2, Shape, "分组框8", 16, 13, 1, 90, ""),
        QL_ROW(分组框4, Group, "分组框2", 8, 463, 688, 48, ""),
        QL_ROW(按钮1, Button, "分组框4", 16, 11, 100, 32,
               QT_TRANSLATE_NOOP("Quillar", "开始录音"), .font = kButtonFont),
        QL_ROW(按钮4, Button, "分组框4", 192, 11, 100, 32,
               QT_TRANSLATE_NOOP("Quillar", "暂停录音"), .font = kButtonFont,
               .disabled = true),
        QL_ROW(按钮2, Button, "分组框4", 368, 11, 100, 32,
               QT_TRANSLATE_NOOP("Quillar", "试听录音"), .font = kButtonFont,
               .disabled = true),
        QL_ROW(按钮3, Button, "分组框4", 560, 11, 100, 32,
               QT_TRANSLATE_NOOP("Quillar", "保存录音"), .font = kButtonFont,
               .disabled = true),
        QL_ROW(分组框3, Group, "分组框2", 8, 507, 688, 152, ""),
        QL_ROW(画板2, Board, "分组框3", 8, 13, 672, 104, "", .background = QColor(0, 0, 128)),
        QL_ROW(标签4, Label, "画板2", 8, 40, 80, 24,
               QT_TRANSLATE_NOOP("Quillar", "等待录音中"), .background = QColor(0, 0, 0),
               .foreground = QColor(255, 255, 255)),
        QL_ROW(标签_削波警告, Label, "画板2", 440, 8, 224, 30, QT_TRANSLATE_NOOP("Quillar", " 削波！录音音量过大"),
               .font = ControlFont{QString(), 18, 700}, .background = QColor(220, 0, 0),
               .foreground = QColor(255, 255, 255), .hidden = true),
        QL_ROW(标签_日志提示, Label, "画板2", 8, 78, 656, 22, "", .background = QColor(0, 0, 0),
               .foreground = QColor(255, 96, 96), .hidden = true),
        QL_ROW(标签_录音保护, Label, "画板2", 440, 44, 224, 20,
               QT_TRANSLATE_NOOP("Quillar", "本次录音未受保护：无法写入恢复文件"),
               .background = QColor(192, 0, 0), .foreground = QColor(255, 255, 255),
               .hidden = true),
        QL_ROW(标签_暂存提示, Label, "画板2", 8, 4, 428, 34, "", .background = QColor(192, 0, 0),
               .foreground = QColor(255, 255, 255), .hidden = true),
        QL_ROW(时钟1, Timer, "画板2", 8, 3, 26, 26, "", .interval = 0),
        QL_ROW(时钟2, Timer, "画板2", 40, 0, 26, 26, "", .interval = 0),
        QL_ROW(时钟3, Timer, "画板2", 72, 8, 26, 26, "", .interval = 700),
        QL_PLAIN("通用对话框1", Dialog, "画板2", 112, 3, 26, 26),
        QL_ROW(时钟_暂存, Timer, "画板2", 144, 3, 26, 26, "", .interval = 0),
        QL_ROW(标签_声音服务, Label, "画板2", 96, 40, 340, 24, "", .background = QColor(192, 0, 0),
               .foreground = QColor(255, 255, 255), .hidden = true),
        QL_ROW(时钟_录音收尾, Timer, "画板2", 208, 3, 26, 26, "", .interval = 0),
        QL_ROW(标签_播放提示, Label, "画板2", 8, 40, 180, 24, QT_TRANSLATE_NOOP("Quillar", "录音中不能播放"),
               .background = QColor(0, 0, 0), .foreground = QColor(255, 200, 0), .hidden = true),
        QL_ROW(时钟_电平, Timer, "画板2", 176, 3, 26, 26, "", .interval = 0),
        QL_ROW(画板1, Board, "分组框3", 8, 112, 672, 32, "", .background = QColor(236, 236, 236)),
        QL_ROW(编辑框1, Edit, "画板1", 1, 5, 80, 24,
               QT_TRANSLATE_NOOP("Quillar", "停止中"), .background = QColor(255, 255, 255),
               .foreground = kGreenBand),
        QL_ROW(编辑框2, Edit, "画板1", 81, 5, 224, 24, QT_TRANSLATE_NOOP("Quillar", "录制时间:00:00:00")),
        QL_ROW(编辑框3, Edit, "画板1", 305, 6, 224, 24, QT_TRANSLATE_NOOP("Quillar", "每帧大小 0 字节")),
        QL_ROW(编辑框4, Edit, "画板1", 529, 6, 136, 24, QT_TRANSLATE_NOOP("Quillar", "文件大小 0 字节")),
    };
    // clang-format on
    return rows;
}

const std::vector<ComboItem>& sampleRateItems() {
    static const std::vector<ComboItem> items = {
        {QT_TRANSLATE_NOOP("Quillar", "8000 Hz（电话通话音质）"), 8000},
        {QT_TRANSLATE_NOOP("Quillar", "12000 HZ（AM调幅广播音质）"), 12000},
        {QT_TRANSLATE_NOOP("Quillar", "22050 Hz（FM调频广播音质）"), 22050},
        {QT_TRANSLATE_NOOP("Quillar", "32000 Hz（MP3播放器音质）"), 32000},
        {QT_TRANSLATE_NOOP("Quillar", "44100 Hz（CD光盘音质）"), 44100},
        {QT_TRANSLATE_NOOP("Quillar", "48000 Hz（录音室音质）"), 48000},
    };
    return items;
}

const std::vector<ComboItem>& sampleWidthItems() {
    // Later widths go at the end: the first three keep the places users know them by.
    static const std::vector<ComboItem> items = {
        {"8 Bit", audio::kSample8Bit},
        {"16 Bit", 0},
        {"32 Bit", audio::kSampleFloat},
        {"24 Bit", audio::kSample24Bit},
    };
    return items;
}

}  // namespace quillar
