// The window's fixed layout as data: one row per control, read side by side with the design, and
// the one function that turns the rows into widgets.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class QObject;

namespace quillar {

class MainForm;

enum class ControlKind {
    Button,
    Edit,
    LargeTypeEdit,  // an edit box that wraps and shrinks a long text (kit/large_type_box.h)
    Label,
    List,
    Combo,
    Check,
    Radio,
    Group,
    Board,
    Shape,
    Progress,
    Timer,
    MediaPlayer,
    Dialog,
};

struct ControlFont {
    QString family;         // empty: the default face
    int pixelSize = 0;      // character height in pixels
    int weight = 400;       // 400 normal, 700 bold
    QStringList fallbacks;  // faces to try where `family` is not installed
};

struct ControlLook {
    std::optional<ControlFont> font;
    std::optional<QColor> background;  // labels without one are transparent
    std::optional<QColor> foreground;
    bool hidden = false;
    bool disabled = false;
    bool checked = false;  // check boxes and radio buttons
    int interval = 0;      // timers: milliseconds, 0 = stopped
};

struct ControlRow {
    const char* name;
    ControlKind kind;
    const char* container;  // "window" or another row's name
    QRect geometry;         // left, top, width, height in the container's client area
    QString text;
    ControlLook look;
    std::function<void(MainForm&, QObject*)> bind;  // stores the made control in its member
};

// Every control of the main window, containers before what they contain.
const std::vector<ControlRow>& mainWindowControls();

// Items of the sample-rate and sample-width combo boxes: text and item value.
struct ComboItem {
    QString text;
    int value;
};
const std::vector<ComboItem>& sampleRateItems();
const std::vector<ComboItem>& sampleWidthItems();

// Makes every control of `rows` on `form` and binds it to its member.
void buildControls(MainForm& form, const std::vector<ControlRow>& rows);

// Client-area size of the main window: its 1047 x 726 outer size less a thin frame and a
// caption bar.
inline constexpr int kMainWindowWidth = 1041;
inline constexpr int kMainWindowHeight = 698;

}  // namespace quillar
