#include "items/take_quality_line.h"

#include <QLabel>
#include <QLineEdit>
#include <cmath>

#include "items/recording_marks.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/ui_texts.h"

namespace quillar {

QString TakeQualityText(const quality::Judgement& j) {
    QStringList parts;
    if (!std::isnan(j.peakDbfs)) {
        parts.append(Texts::tr("峰值 %1 dBFS").arg(quality::DbText(j.peakDbfs, 1)));
    }
    if (!std::isnan(j.noiseDbfs)) {
        parts.append(Texts::tr("噪声 %1 dBFS").arg(quality::DbText(j.noiseDbfs, 0)));
    }
    if (!std::isnan(j.snrDb)) {
        parts.append(Texts::tr("信噪比 %1 dB").arg(quality::DbText(j.snrDb, 0)));
    }
    const QStringList problems = quality::ProblemWords(j);
    parts.append(problems.isEmpty() ? Texts::tr("良好") : problems.join(Texts::tr("、")));
    return parts.join(QStringLiteral(" · "));
}

void ShowTakeQuality(App& app) {
    QLabel* line = app.form.标签_录音质量;
    quality::Judgement j;
    if (!LatestJudgementOf(app, app.form.编辑框_当前录音文件->text(), &j)) {
        line->hide();
        return;
    }
    static const QColor kColours[] = {QColor(120, 230, 140), QColor(255, 200, 80),
                                      QColor(255, 120, 120)};
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, kColours[static_cast<int>(j.verdict)]);
    line->setPalette(palette);
    line->setText(u' ' + TakeQualityText(j));
    line->show();
    line->raise();
}

}  // namespace quillar
