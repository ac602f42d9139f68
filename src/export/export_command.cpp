#include "export/export_command.h"

#include <algorithm>
#include <chrono>

#include "export/session_join.h"
#include "export/take_textgrids.h"
#include "naming/name_template.h"

namespace quillar {

namespace {

// Progress shows only for an export that runs longer than this.
constexpr auto kQuietFor = std::chrono::seconds(1);
constexpr auto kProgressEvery = std::chrono::milliseconds(200);

void print(std::FILE* to, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), to);
    std::fflush(to);
}

QString relativeTo(const QString& folder, const QString& path) {
    return path.startsWith(folder + u'/') ? path.mid(folder.size() + 1) : path;
}

}  // namespace

QString ExportUsage() {
    return QStringLiteral(
        "usage: quillar-export FOLDER [--list WORDLIST] [--template TEXT] [--ascii]\n"
        "                      [--textgrids] [--session NAME [--convert]] [--lift FILE]\n"
        "                      [--deposit DIR [--collection CODE]]\n"
        "\n"
        "Exports the takes of FOLDER, read as Quillar reads it: the latest take of each item is\n"
        "the file at the item's name (earlier takes in 早前录音 are never exported).\n"
        "\n"
        "  --list WORDLIST   the word list the takes were recorded from (items in its order);\n"
        "                    without it the items are the folder's takes in name order\n"
        "  --template TEXT   the name template the takes were saved by, as in the options\n"
        "                    (default {item}, for a table {id}{item})\n"
        "  --ascii           the names were made archive-safe (文件名仅ASCII)\n"
        "  --textgrids       write <take>.TextGrid beside every take that has none: tier item\n"
        "                    over its speech (and gloss for a table)\n"
        "  --session NAME    join the latest take of every item, in list order, into\n"
        "                    FOLDER/NAME.wav, with NAME.TextGrid (tiers item, gloss, take) and\n"
        "                    NAME.eaf for ELAN; a NAME with a slash is a path of its own. Never\n"
        "                    written over existing files. Items without a take are listed.\n"
        "  --convert         join takes of other formats, converted to the first take's\n"
        "                    (otherwise they are refused)\n"
        "  --lift FILE       a LIFT lexicon at FILE, the takes copied under audio/ beside it\n"
        "  --deposit DIR     copy the latest takes, their TextGrids, metadata.csv and the\n"
        "                    session file into DIR under archive-safe names, checked by reading\n"
        "                    back; nothing in DIR is written over\n"
        "  --collection CODE the collection code in the deposit's names (CODE-SPEAKER-ID.wav)\n"
        "  --help            show this text\n"
        "\n"
        "Exit code: 0 when everything asked was done, 1 when it was done but something needs a\n"
        "look (items without a take in the session, takes that could not be read), 2 for a\n"
        "usage error, a folder or word list that cannot be read, a refusal (takes of mixed\n"
        "formats without --convert, a file that would be written over) or a failed write.\n");
}

bool ParseExportRequest(const QStringList& args, ExportRequest* r, QString* error) {
    *r = ExportRequest{};
    error->clear();
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto value = [&](QString* into) {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
                *error = QStringLiteral("%1 needs a value").arg(a);
                return false;
            }
            *into = args[++i];
            return true;
        };
        bool ok = true;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            return false;
        } else if (a == QLatin1String("--list")) {
            ok = value(&r->source.list);
        } else if (a == QLatin1String("--template")) {
            ok = value(&r->source.nameTemplate);
            QString problem;
            if (ok && !ParseNameTemplate(r->source.nameTemplate, &problem)) {
                *error = QStringLiteral("not a name template: %1 (%2)")
                             .arg(r->source.nameTemplate, problem);
                return false;
            }
        } else if (a == QLatin1String("--ascii")) {
            r->source.asciiNames = true;
        } else if (a == QLatin1String("--textgrids")) {
            r->textGrids = true;
        } else if (a == QLatin1String("--session")) {
            ok = value(&r->session);
        } else if (a == QLatin1String("--convert")) {
            r->convert = true;
        } else if (a == QLatin1String("--lift")) {
            ok = value(&r->lift);
        } else if (a == QLatin1String("--deposit")) {
            ok = value(&r->deposit);
        } else if (a == QLatin1String("--collection")) {
            ok = value(&r->collection);
        } else if (a.startsWith(u'-')) {
            *error = QStringLiteral("unknown option: %1").arg(a);
            return false;
        } else if (r->source.folder.isEmpty()) {
            r->source.folder = a;
        } else {
            *error = QStringLiteral("one folder only: %1").arg(a);
            return false;
        }
        if (!ok) {
            return false;
        }
    }
    if (r->source.folder.isEmpty()) {
        *error = QStringLiteral("no folder given");
    } else if (!r->anything()) {
        *error = QStringLiteral(
            "nothing to export: give --textgrids, --session, --lift or "
            "--deposit");
    } else if (r->convert && r->session.isEmpty()) {
        *error = QStringLiteral("--convert goes with --session");
    } else if (!r->collection.isEmpty() && r->deposit.isEmpty()) {
        *error = QStringLiteral("--collection goes with --deposit");
    } else if (r->session.endsWith(u'/')) {
        *error = QStringLiteral("--session needs a file name, not a folder: %1").arg(r->session);
    }
    return error->isEmpty();
}

ExportReport RunExport(const ExportRequest& request, const ExportProgress& progress,
                       const ExportSteps& steps) {
    ExportReport report;
    const auto failed = [&](const QString& why) {
        report.text += why + u'\n';
        report.exitCode = kExportFailed;
        return report;
    };
    ExportFolder folder;
    QString error;
    if (!ReadExportFolder(request.source, &folder, &error)) {
        return failed(error);
    }
    if (request.textGrids) {
        TakeTextGridsResult made;
        if (!WriteMissingTextGrids(request.source, folder, &made, &error, progress)) {
            return failed(error);
        }
        report.text += QStringLiteral("TextGrids: %1 written, %2 already there\n")
                           .arg(made.written)
                           .arg(made.present);
        if (!made.unreadable.isEmpty()) {
            report.exitCode = kExportDoneWithReport;
            report.text += QStringLiteral("takes that could not be read, given no TextGrid:\n");
            for (const QString& f : made.unreadable) {
                report.text += QStringLiteral("  %1\n").arg(f);
            }
        }
    }
    if (!request.session.isEmpty()) {
        SessionJoinResult joined;
        const SessionJoinOptions options{request.session, request.convert};
        if (!JoinSession(folder, options, &joined, &error, progress)) {
            return failed(error);
        }
        const auto converted = std::count_if(joined.takes.cbegin(), joined.takes.cend(),
                                             [](const JoinedTake& t) { return t.converted; });
        report.text += QStringLiteral("session: %1 takes joined into %2 (%3 s), with %4 and %5")
                           .arg(joined.takes.size())
                           .arg(relativeTo(folder.folder, joined.paths.wav))
                           .arg(QString::number(double(joined.frames) / joined.rate, 'f', 3))
                           .arg(relativeTo(folder.folder, joined.paths.textGrid),
                                relativeTo(folder.folder, joined.paths.eaf));
        report.text += converted > 0 ? QStringLiteral("; %1 converted\n").arg(converted)
                                     : QStringLiteral("\n");
        report.withoutTake = joined.withoutTake;
        if (!joined.withoutTake.isEmpty()) {
            report.exitCode = kExportDoneWithReport;
            report.text += QStringLiteral("items without a take (%1), not in the session:\n")
                               .arg(joined.withoutTake.size());
            for (const QString& item : joined.withoutTake) {
                report.text += QStringLiteral("  %1\n").arg(item);
            }
        }
    }
    if (!request.lift.isEmpty()) {
        if (!steps.lift || !steps.lift(folder, request, &report.text, &error, progress)) {
            return failed(error);
        }
    }
    if (!request.deposit.isEmpty()) {
        if (!steps.deposit || !steps.deposit(folder, request, &report.text, &error, progress)) {
            return failed(error);
        }
    }
    return report;
}

int RunFolderExport(const QStringList& args, std::FILE* out, std::FILE* err) {
    ExportRequest request;
    QString error;
    if (!ParseExportRequest(args, &request, &error)) {
        if (error.isEmpty()) {
            print(out, ExportUsage());
            return kExportDone;
        }
        print(err, QStringLiteral("quillar-export: %1\n\n").arg(error) + ExportUsage());
        return kExportFailed;
    }
    const auto started = std::chrono::steady_clock::now();
    auto next = started + kQuietFor;
    bool shown = false;
    const ExportReport report = RunExport(request, [&](int done, int total) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= next || (shown && done == total)) {
            print(err, QStringLiteral("\r%1 / %2").arg(done).arg(total));
            shown = true;
            next = now + kProgressEvery;
        }
    });
    if (shown) {
        print(err, QStringLiteral("\n"));
    }
    if (report.exitCode == kExportFailed) {
        print(err, QStringLiteral("quillar-export: ") + report.text);
    } else {
        print(out, report.text);
    }
    return report.exitCode;
}

}  // namespace quillar
