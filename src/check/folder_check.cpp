#include "check/folder_check.h"

#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "items/listed_folder.h"
#include "kit/item_rows.h"
#include "naming/name_template.h"
#include "record/take_log.h"

namespace quillar {

namespace {

using quality::Verdict;

const QString kMissing = QStringLiteral("missing");
const QString kSkipped = QStringLiteral("skipped");

// Progress shows only for a check that runs longer than this.
constexpr auto kQuietFor = std::chrono::seconds(1);
constexpr auto kProgressEvery = std::chrono::milliseconds(200);

// Judges rows[i].file for every row, over all cores; `progress` from this thread.
void judgeAll(const QString& folder, quality::Profile profile, std::vector<CheckRow>& rows,
              const std::function<void(int, int)>& progress) {
    std::atomic<std::size_t> next{0};
    std::atomic<int> done{0};
    std::mutex finishedMutex;
    std::condition_variable finishedChanged;
    std::size_t finished = 0;  // workers out of files; guarded by finishedMutex
    const auto work = [&] {
        std::vector<std::uint8_t> scratch;
        for (std::size_t i = next++; i < rows.size(); i = next++) {
            rows[i].wav = quality::JudgeWavFile(folder + u'/' + rows[i].file, profile, scratch);
            done.fetch_add(1, std::memory_order_relaxed);
        }
        const std::lock_guard<std::mutex> lock(finishedMutex);
        ++finished;
        finishedChanged.notify_all();
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t count = std::min<std::size_t>(cores, std::max<std::size_t>(rows.size(), 1));
    std::vector<std::thread> workers;
    for (std::size_t t = 1; t < count; ++t) {
        workers.emplace_back(work);
    }
    if (!progress) {
        work();
    } else {
        // This thread only watches, so the progress comes on time.
        workers.emplace_back(work);
        const int total = static_cast<int>(rows.size());
        auto tick = std::chrono::steady_clock::now() + kQuietFor;
        std::unique_lock<std::mutex> lock(finishedMutex);
        while (
            !finishedChanged.wait_until(lock, tick, [&] { return finished == workers.size(); })) {
            progress(done.load(std::memory_order_relaxed), total);
            tick += kProgressEvery;
        }
    }
    for (std::thread& w : workers) {
        w.join();
    }
}

QString number(double v, int decimals) {
    return QString::number(v, 'f', decimals);
}

QByteArray csvLine(const QStringList& fields) {
    QStringList quoted;
    for (const QString& f : fields) {
        quoted.append(CsvField(f));
    }
    return (quoted.join(u',') + QStringLiteral("\r\n")).toUtf8();
}

// An item without a file has no verdict of its own: why it has none stands in both columns.
QString verdictOf(const CheckRow& row) {
    if (!row.hasFile()) {
        return row.skipped ? kSkipped : kMissing;
    }
    return quality::VerdictName(row.wav.judgement.verdict);
}

QString problemsOf(const CheckRow& row) {
    if (!row.hasFile()) {
        return row.skipped ? kSkipped : kMissing;
    }
    return quality::ProblemNames(row.wav.judgement).join(u';');
}

}  // namespace

QString CheckUsage() {
    return QStringLiteral(
        "usage: quillar-check FOLDER [--list WORDLIST] [--profile yubao|archive] [--csv PATH|-]\n"
        "                     [--earlier]\n"
        "\n"
        "Judges every .wav directly in FOLDER as Quillar judges each take when it stops: peak,\n"
        "background noise and signal-to-noise ratio, the problems found and a verdict (good,\n"
        "check, redo). Prints a summary and the files that are not good.\n"
        "\n"
        "  --list WORDLIST   also list every item of the word list that has no recording,\n"
        "                    as missing, or as skipped when the take log says it was passed\n"
        "                    over (F8), with the reason in the summary (read as Quillar reads\n"
        "                    it: encodings, tables, homographs, file names, the speaker of the\n"
        "                    folder's quillar-session.json)\n"
        "  --template TEXT   the name template the takes were saved by, as in the options\n"
        "                    (default {item}, for a table {id}{item}), e.g. "
        "{speaker}/{list}/{id}{item}\n"
        "  --ascii           the names were made archive-safe (文件名仅ASCII)\n"
        "  --profile NAME    check the format too: yubao = mono, 44100 Hz, 16-bit PCM;\n"
        "                    archive = 16 or 24-bit PCM, 44100/48000/96000 Hz, 1 or 2 channels\n"
        "  --csv PATH        write one row per file (and per missing item) to PATH, UTF-8;\n"
        "                    \"-\" writes it to standard output and the summary to standard error\n"
        "  --earlier         judge the earlier takes kept in the folder's 早前录音 too\n"
        "  --help            show this text\n"
        "\n"
        "Exit code: 0 when every row is good, 1 when any is not (a missing or skipped item\n"
        "is not), 2 for a usage error, a\n"
        "folder that cannot be read or holds no recordings, or a word list that cannot be read,\n"
        "is not text or holds no items.\n");
}

bool ParseCheckOptions(const QStringList& args, CheckOptions* o, QString* error) {
    *o = CheckOptions{};
    error->clear();
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto value = [&](QString* into) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("%1 needs a value").arg(a);
                return false;
            }
            *into = args[++i];
            return true;
        };
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            return false;
        } else if (a == QLatin1String("--list")) {
            if (!value(&o->list)) {
                return false;
            }
        } else if (a == QLatin1String("--csv")) {
            if (!value(&o->csv)) {
                return false;
            }
        } else if (a == QLatin1String("--profile")) {
            QString name;
            if (!value(&name)) {
                return false;
            }
            if (!quality::ParseProfile(name, &o->profile)) {
                *error = QStringLiteral("unknown profile: %1 (yubao or archive)").arg(name);
                return false;
            }
        } else if (a == QLatin1String("--earlier")) {
            o->earlier = true;
        } else if (a == QLatin1String("--template")) {
            if (!value(&o->nameTemplate)) {
                return false;
            }
            QString problem;
            if (!ParseNameTemplate(o->nameTemplate, &problem)) {
                *error =
                    QStringLiteral("not a name template: %1 (%2)").arg(o->nameTemplate, problem);
                return false;
            }
        } else if (a == QLatin1String("--ascii")) {
            o->asciiNames = true;
        } else if (a.startsWith(u'-') && a != QLatin1String("-")) {
            *error = QStringLiteral("unknown option: %1").arg(a);
            return false;
        } else if (o->folder.isEmpty()) {
            o->folder = a;
        } else {
            *error = QStringLiteral("one folder only: %1").arg(a);
            return false;
        }
    }
    if (o->folder.isEmpty()) {
        *error = QStringLiteral("no folder given");
        return false;
    }
    return true;
}

bool CheckFolder(const CheckOptions& o, std::vector<CheckRow>* rows, QString* error,
                 const std::function<void(int, int)>& progress) {
    rows->clear();
    ListedFolder listed;
    if (!ReadListedFolder(o.folder, o.list, o.nameTemplate, o.asciiNames, &listed, error)) {
        return false;
    }
    const QStringList files = TakeFilesOf(listed, o.earlier);
    // Nothing judged is no pass: most often the wrong folder was named.
    if (files.isEmpty()) {
        *error = QStringLiteral("no recordings (.wav) in the folder %1").arg(o.folder);
        return false;
    }
    const QHash<QString, QString> logged = LoggedItemsOf(listed);
    rows->reserve(static_cast<std::size_t>(files.size() + listed.items.size()));
    for (const QString& f : files) {
        CheckRow row;
        row.file = f;
        const auto it = logged.constFind(f);
        row.item = it != logged.cend() ? *it : QFileInfo(f).completeBaseName();
        rows->push_back(std::move(row));
    }
    judgeAll(listed.folder, o.profile, *rows, progress);

    const QSet<QString> present(files.cbegin(), files.cend());
    const QHash<qsizetype, QString> skipped = SkippedItemsOf(listed);
    for (qsizetype i = 0; i < listed.names.size(); ++i) {
        // A blank line names no recording, so none can be missing.
        if (!listed.names[i].isEmpty() && !present.contains(listed.names[i])) {
            CheckRow row;
            row.item = ItemRowText(listed.entry(i));
            if (const auto it = skipped.constFind(i); it != skipped.cend()) {
                row.skipped = true;
                row.skipReason = *it;
            }
            rows->push_back(std::move(row));
        }
    }
    return true;
}

QByteArray CheckCsv(const std::vector<CheckRow>& rows) {
    QByteArray csv("\xEF\xBB\xBF");
    csv += csvLine({QStringLiteral("file"), QStringLiteral("item"), QStringLiteral("seconds"),
                    QStringLiteral("rate"), QStringLiteral("bits"), QStringLiteral("channels"),
                    QStringLiteral("peak_dbfs"), QStringLiteral("noise_dbfs"),
                    QStringLiteral("snr_db"), QStringLiteral("verdict"), QStringLiteral("problems"),
                    // After the columns readers of older versions know: where the speech lies.
                    QStringLiteral("speech_start"), QStringLiteral("speech_end")});
    for (const CheckRow& r : rows) {
        const quality::WavJudgement& w = r.wav;
        // An unreadable file has no figures worth a number.
        const bool figures = r.hasFile() && !w.judgement.has(quality::kUnreadable);
        const bool speech = figures && w.judgement.speech.found();
        const auto known = [](std::uint32_t v) { return v != 0 ? QString::number(v) : QString(); };
        csv += csvLine({
            r.file,
            r.item,
            figures ? number(w.seconds, 3) : QString(),
            r.hasFile() ? known(w.rate) : QString(),
            r.hasFile() ? known(w.bits) : QString(),
            r.hasFile() ? known(w.channels) : QString(),
            figures ? quality::DbText(w.judgement.peakDbfs) : QString(),
            figures ? quality::DbText(w.judgement.noiseDbfs) : QString(),
            figures ? quality::DbText(w.judgement.snrDb) : QString(),
            verdictOf(r),
            problemsOf(r),
            speech ? number(w.judgement.speech.beginSeconds(w.rate), 3) : QString(),
            speech ? number(w.judgement.speech.endSeconds(w.rate), 3) : QString(),
        });
    }
    return csv;
}

QString CheckSummary(const std::vector<CheckRow>& rows) {
    int files = 0;
    int good = 0;
    int check = 0;
    int redo = 0;
    int missing = 0;
    int skipped = 0;
    std::map<QString, int> perProblem;
    for (const CheckRow& r : rows) {
        if (!r.hasFile()) {
            missing += r.missing();
            skipped += r.skipped;
            continue;
        }
        ++files;
        const Verdict v = r.wav.judgement.verdict;
        good += v == Verdict::Good;
        check += v == Verdict::Check;
        redo += v == Verdict::Redo;
        for (const QString& p : quality::ProblemNames(r.wav.judgement)) {
            ++perProblem[p];
        }
    }
    QString out = QStringLiteral("files %1: good %2, check %3, redo %4, missing %5, skipped %6\n")
                      .arg(files)
                      .arg(good)
                      .arg(check)
                      .arg(redo)
                      .arg(missing)
                      .arg(skipped);
    for (const auto& [problem, count] : perProblem) {
        out += QStringLiteral("  %1 %2\n").arg(problem).arg(count);
    }
    if (good == files && missing == 0 && skipped == 0) {
        return out;
    }
    out += QStringLiteral("\nnot good:\n");
    for (const CheckRow& r : rows) {
        if (r.missing()) {
            out += QStringLiteral("  missing  (%1)\n").arg(r.item);
        } else if (r.skipped) {
            out += QStringLiteral("  skipped  (%1)  %2\n").arg(r.item, r.skipReason);
        } else if (r.wav.judgement.verdict != Verdict::Good) {
            out += QStringLiteral("  %1  %2  %3\n").arg(verdictOf(r), r.file, problemsOf(r));
        }
    }
    return out;
}

int RunFolderCheck(const QStringList& args, std::FILE* out, std::FILE* err) {
    const auto print = [](std::FILE* to, const QString& text) {
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), to);
        std::fflush(to);
    };
    CheckOptions o;
    QString error;
    if (!ParseCheckOptions(args, &o, &error)) {
        if (error.isEmpty()) {
            print(out, CheckUsage());
            return kCheckAllGood;
        }
        print(err, QStringLiteral("quillar-check: %1\n\n").arg(error) + CheckUsage());
        return kCheckUsageError;
    }
    bool shown = false;
    std::vector<CheckRow> rows;
    const bool ok = CheckFolder(o, &rows, &error, [&](int done, int total) {
        print(err, QStringLiteral("\r%1 / %2").arg(done).arg(total));
        shown = true;
    });
    if (shown) {
        print(err, QStringLiteral("\n"));
    }
    if (!ok) {
        print(err, QStringLiteral("quillar-check: %1\n").arg(error));
        return kCheckUsageError;
    }
    std::FILE* summaryTo = out;
    if (o.csv == QLatin1String("-")) {
        const QByteArray csv = CheckCsv(rows);
        std::fwrite(csv.constData(), 1, static_cast<std::size_t>(csv.size()), out);
        std::fflush(out);
        summaryTo = err;
    } else if (!o.csv.isEmpty()) {
        QSaveFile file(o.csv);
        if (!file.open(QIODevice::WriteOnly) || file.write(CheckCsv(rows)) < 0 || !file.commit()) {
            print(err, QStringLiteral("quillar-check: cannot write %1\n").arg(o.csv));
            return kCheckUsageError;
        }
    }
    print(summaryTo, CheckSummary(rows));
    // A skipped item is still an item without its recording: the survey is not done, whatever
    // the reason, and a script that waits for 0 must not stop early.
    const bool allGood = std::all_of(rows.cbegin(), rows.cend(), [](const CheckRow& r) {
        return r.hasFile() && r.wav.judgement.verdict == Verdict::Good;
    });
    return allGood ? kCheckAllGood : kCheckNotAllGood;
}

}  // namespace quillar
