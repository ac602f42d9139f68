#include "app/main_form.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QStandardPaths>
#include <QTimer>

#include "app/control_table.h"
#include "playback/media_player.h"

namespace quillar {

MainForm::MainForm(audio::AudioEngine& engine, QWidget* parent) : QWidget(parent) {
    setObjectName("main window");
    setWindowTitle(QStringLiteral("Quillar V1.1【田野调查录音工具 · 开源版】"));
    setFixedSize(kMainWindowWidth, kMainWindowHeight);
    buildControls(*this, mainWindowControls());

    for (const ComboItem& item : sampleRateItems()) {
        组合框2->addItem(item.text, item.value);
    }
    组合框2->setCurrentIndex(4);
    for (const ComboItem& item : sampleWidthItems()) {
        组合框3->addItem(item.text, item.value);
    }
    组合框3->setCurrentIndex(1);

    媒体播放1 = new MediaPlayer(engine, this);
    媒体播放1->setObjectName("媒体播放1");

    通用对话框2.filter = QStringLiteral("TXT文件 (*.txt)");
    通用对话框2.defaultExt = "txt";

    通用对话框1.filter = QStringLiteral("wav 音频文件 (*.wav)");
    通用对话框1.defaultExt = "wav";
    通用对话框1.initialName = "Record";
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    通用对话框1.initialDir =
        (!desktop.isEmpty() && QDir(desktop).exists()) ? desktop : QDir::homePath();
}

MainForm::~MainForm() = default;

void MainForm::closeEvent(QCloseEvent* event) {
    if (onDestroying) {
        auto hook = std::move(onDestroying);
        onDestroying = nullptr;
        hook();
    }
    event->accept();
}

void setInterval(QTimer* timer, int ms) {
    if (ms <= 0) {
        timer->stop();
        timer->setInterval(0);
    } else {
        timer->setInterval(ms);
        if (!timer->isActive()) {
            timer->start();
        }
    }
}

int intervalOf(const QTimer* timer) {
    return timer->isActive() ? timer->interval() : 0;
}

}  // namespace quillar
