// Any bytes as a folder's quillar-log.csv: read for the marks and for quillar-check, then a take
// and a skip are appended as the window appends them. Whatever the log held before, be it cut
// short or edited by hand, what is appended is read back.

#include "fuzz_support.h"
#include "record/take_log.h"

using namespace quillar;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString folder = fuzz::freshFolder(fuzz::scratch().filePath(QStringLiteral("takes")));
    const QByteArray bytes = fuzz::bytesOf(data, size);
    fuzz::writeFile(folder + u'/' + kTakeLogName, bytes);
    ParseCsv(bytes);
    QHash<QString, quality::Judgement> judgements;
    QHash<QString, QString> items;
    LoggedSkips skips;
    ReadTakeLog(folder, &judgements, &items, &skips);

    TakeLogEntry take;
    take.time = QDateTime::fromSecsSinceEpoch(1765000000);
    take.item = QStringLiteral("新,\"词\"");
    take.file = folder + QStringLiteral("/0007新.wav");
    take.how = kTakeHowEnter;
    take.judged = true;
    take.judgement.verdict = quality::Verdict::Check;
    take.judgement.problems = quality::kNoisy;
    take.id = QStringLiteral("0007");
    check(AppendTakeLog(take), "take logged");
    SkipLogEntry skip;
    skip.time = take.time;
    skip.item = QStringLiteral("旧");
    skip.id = QStringLiteral("0008");
    skip.reason = QStringLiteral("不适用");
    check(AppendSkipLog(folder, skip), "skip logged");

    judgements.clear();
    items.clear();
    skips = LoggedSkips();
    ReadTakeLog(folder, &judgements, &items, &skips);
    check(items.value(QStringLiteral("0007新.wav")) == take.item, "the take's item read back");
    check(judgements.value(QStringLiteral("0007新.wav")).verdict == quality::Verdict::Check,
          "the take's verdict read back");
    QString reason;
    check(skips.skipped(SkipKeyOf(skip.id, skip.item), QStringLiteral("0008旧.wav"), &reason) &&
              reason == skip.reason,
          "the skip read back");
    check(!skips.skipped(SkipKeyOf(take.id, take.item), QStringLiteral("0007新.wav")),
          "the take is no skip");
    return 0;
}
