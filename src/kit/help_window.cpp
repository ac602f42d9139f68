#include "kit/help_window.h"

#include <QPlainTextEdit>
#include <QStringList>

#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"

namespace quillar {

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("help window");
    setWindowTitle(Texts::tr("软件操作帮助"));
    setModal(true);
    setFixedSize(kHelpWindowWidth, kHelpWindowHeight);
    编辑框1 = new QPlainTextEdit(this);
    编辑框1->setObjectName("编辑框1");
    编辑框1->setGeometry(8, 8, 808, 696);
    QFont font = 编辑框1->font();
    font.setPixelSize(19);
    font.setWeight(QFont::Normal);
    编辑框1->setFont(font);
    编辑框1->setReadOnly(true);
    // The editor keeps paragraphs, not line ends; CR LF would show as stray characters.
    QString shown = helpText();
    shown.replace("\r\n", "\n");
    编辑框1->setPlainText(shown);
}

QString helpText() {
    static const char* const kLines[] = {
        QT_TRANSLATE_NOOP(
            "Quillar", "【遇到紧急问题，请在 Quillar 项目主页的问题列表中提交报告，并注明“紧急”】"),
        "",
        QT_TRANSLATE_NOOP("Quillar", "【特别提醒】"),
        QT_TRANSLATE_NOOP(
            "Quillar",
            "本软件未提交给各杀毒软件厂商进行认证，可能会被部分杀毒软件误报为可疑程序。"
            "信任本软件的用户，请将本软件所在的文件夹加入杀毒软件的信任区（白名单）。"),
        "",
        "",
        QT_TRANSLATE_NOOP("Quillar", "【如何录制电脑播放的音频】"),
        QT_TRANSLATE_NOOP("Quillar", "将录音设备切换为扬声器即可。"),
        "",
        QT_TRANSLATE_NOOP("Quillar", "【基本信息设置】"),
        QT_TRANSLATE_NOOP("Quillar",
                          "1.自动保存路径根据自己的研究需要自定义设置，比如设置为“E:"
                          "\\XX方言调查\\发音人A\\词汇”，"
                          "就表示当前录音的项目是针对XX方言的发音人A的词汇条目的录音。"
                          "路径设置好之后，相关录音文件会自动保存到该目录下。"),
        QT_TRANSLATE_NOOP(
            "Quillar",
            "2.录音内容源文件只支持TXT文档，支持UTF-8和ANSI两种存储编码。各调查条目应当各占一行。"
            "从其他文档中转存为本软件需要的TXT文档时，注意选择存储编码为UTF-8或ANSI。"),
        "",
        QT_TRANSLATE_NOOP("Quillar", "【录音、保存和播放】"),
        QT_TRANSLATE_NOOP(
            "Quillar",
            "1.录音内容条目载入后，会在左侧列表显示，可按方向键上下切换，也可以鼠标点击切换。"),
        QT_TRANSLATE_NOOP("Quillar",
                          "2."
                          "当焦点在列表上时，按回车键（Enter）就开始录音，再按一次则停止录音并自动"
                          "保存文件到指定的目"
                          "录。"
                          "录音文件默认保存为WAV格式。"),
        QT_TRANSLATE_NOOP(
            "Quillar",
            "3."
            "已有录音文件的条目会在右侧已录音文件中显示具体路径，并有声波图。按Ctrl键可以播放录音。"
            "也可以点右侧路径旁的播放按钮进行播放。"),
        QT_TRANSLATE_NOOP("Quillar",
                          "4."
                          "也可以用右侧的按钮操作录音和存储，但方便度不高，实操过程中建议尽量用回车"
                          "键（Enter）和Ctrl"
                          "快捷键。"),
        "",
        QT_TRANSLATE_NOOP("Quillar", "【其他事项】"),
        QT_TRANSLATE_NOOP(
            "Quillar",
            "1.Quillar 是为语言田野调查编写的开源录音软件，由 Quillar 的开发者社区共同维护，"
            "任何人都可以自由使用、复制、修改和分发。"),
        QT_TRANSLATE_NOOP("Quillar",
                          "2.使用中发现问题或有改进建议，欢迎在项目主页提交问题报告或代码；"
                          "也欢迎分享您整理的调查词表和录音经验，帮助更多的调查者。"),
        QT_TRANSLATE_NOOP(
            "Quillar",
            "3.录音从不覆盖已有的录音文件：重新录制一个已有录音的条目，或用“保存录音”覆盖一个已有的"
            "文件时，原来的文件会移到它所在目录下的“早前录音”文件夹中，文件名是原名加上被替换的时间"
            "，"
            "例如“爸爸.20261209-143012.wav”。自动保存时，这个文件夹就在自动保存路径下。"),
        QT_TRANSLATE_NOOP(
            "Quillar",
            "4.焦点在列表上时，按F3跳到下一个还没有录音文件的条目，按Shift+F3跳到上一个；"
            "按F4跳到下一个需要重录的条目，按Shift+F4跳到上一个；到列表末尾后从头继续。"
            "每次录音停止时都会检查录音质量：已有录音文件的条目前显示圆点，带白色对勾的绿点表示良好"
            "，"
            "橙点表示需要检查，带白色竖线的红点表示需要重录（削波、开头或结尾被截断、没有声音、"
            "噪声太大），没有检查记录的录音显示绿点；波形下方一行写出峰值、噪声、信噪比和发现的问题"
            "。"
            "列表上方的“已录 / 总数”随每次保存更新。"),
        QT_TRANSLATE_NOOP(
            "Quillar",
            "5.每次录音写入文件后，都会在该文件夹的 quillar-log.csv 中记下一行录音日志"
            "（时间、条目、文件、时长、格式、峰值、是否削波等），可用电子表格打开。"),
        "",
        QT_TRANSLATE_NOOP("Quillar", "【诚挚欢迎各位学者使用和指导】"),
        "",
    };
    QStringList lines;
    for (const char* line : kLines) {
        lines.append(*line == '\0' ? QString() : Texts::tr(line));
    }
    return lines.join("\r\n") + "\r\n";
}

void OpenHelpWindow(App& app) {
    HelpWindow window(&app.form);
    app.ui.runModal(window);
}

}  // namespace quillar
