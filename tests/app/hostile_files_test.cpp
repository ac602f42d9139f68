// Files that fuzzing and broken disks taught us, each read where the fieldworker meets it: the
// player's notice, quillar-check's row, the box that refuses a word list or a session file, the
// box that lists what recovery did. The inputs are the fuzz corpus's own files, so a finding kept
// there is also a case here.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>

#include "app/session_ui.h"
#include "audio/audio_engine.h"
#include "audio/sim_backend.h"
#include "check/folder_check.h"
#include "items/item_file.h"
#include "playback/file_playback.h"
#include "record/take_journal.h"
#include "record/take_recovery.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

QString corpusFile(const QString& target, const QString& name) {
    return QStringLiteral(QUILLAR_FUZZ_CORPUS "/") + target + u'/' + name;
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool copyInto(const QString& from, const QString& to) {
    QFile::remove(to);
    return QFile::copy(from, to);
}

// A recording as the player and quillar-check take it: the player's notice (empty when it
// plays) and the check's problems.
TEST(HostileFiles, RecordingsArePlayedOrRefusedWithTheirReason) {
    const struct {
        const char* file;
        const char* notice;  // what the player says instead of playing; "" when it plays
        const char* check;   // quillar-check's problems column
    } cases[] = {
        // A header that claims 4 GB in a file of a hundred bytes: what is there plays.
        {"claims_4gb_tiny_file.wav", "", "noisy;too_quiet;dc_offset"},
        {"data_size_ffffffff.wav", "", "noisy;too_loud"},
        {"rate_384001.wav", "不支持这种声音格式（16 位 PCM，1 声道，384001 Hz）。", "unreadable"},
        {"channels_ffff.wav", "不支持这种声音格式（16 位 PCM，65535 声道，16000 Hz）。",
         "unreadable"},
        {"riff_11_bytes.wav", "这不是 WAV 文件。", "unreadable"},
        {"no_data.wav", "WAV 文件头不完整或已损坏。", "unreadable"},
        {"rifx_big_endian.wav", "这不是 WAV 文件。", "unreadable"},
        {"empty.wav", "文件是空的（0 字节）。", "unreadable"},
        {"data_empty.wav", "WAV 文件中没有声音数据。", "unreadable"},
    };
    audio::AudioEngine engine(std::make_unique<audio::SimBackend>());
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromUtf8(c.file));
        ASSERT_TRUE(copyInto(corpusFile(u"wav"_s, QString::fromUtf8(c.file)), path));
        audio::FileVerdict verdict;
        const audio::Handle stream = engine.createFileStream(path.toStdString(), &verdict);
        EXPECT_EQ(WhyNotPlayable(verdict), QString::fromUtf8(c.notice));
        EXPECT_EQ(stream != 0, *c.notice == '\0');
        std::vector<CheckRow> rows;
        QString error;
        CheckOptions options;
        options.folder = dir.path();
        ASSERT_TRUE(CheckFolder(options, &rows, &error)) << error.toStdString();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(quality::ProblemNames(rows[0].wav.judgement).join(u';'),
                  QString::fromUtf8(c.check));
    }
}

// A word list refused with one box, the list as it was; or read.
TEST(HostileFiles, WordListsAreReadOrRefusedInOneBox) {
    const struct {
        const char* target;
        const char* file;
        const char* refusal;  // part of the box's text; "" when the list is read; null: either
    } cases[] = {
        {"item_file", "binary_looking.txt", "不是文本文件"},
        {"item_file", "table_unclosed_quote.csv", "引号"},
        {"item_file", "table_duplicate_ids.csv", "重复"},
        {"item_file", "gb18030_cut_mid_char.txt", ""},
        {"xlsx", "truncated_half.xlsx", "已损坏或无法读取"},
        // A central directory that sends the unzipping past the end, again and again.
        {"xlsx", "regress-central-directory-past-the-end.xlsx", "已损坏或无法读取"},
        {"xlsx", "entity_expansion.xlsx", "已损坏或无法读取"},
        {"xlsx", "target_outside_package.xlsx", "已损坏或无法读取"},
        {"xls", "truncated_half.xls", "已损坏或无法读取"},
        // The library reads past a buffer of its own on this one, in a child process: refused
        // where a sanitizer stops the child, read as whatever it read elsewhere; never a crash.
        {"xls", "regress-library-reads-past-its-stack-buffer.xls", nullptr},
        // A damaged sheet claims 6.5 million rows, more than the format holds.
        {"xls", "regress-millions-of-rows-claimed.xls", "已损坏或无法读取"},
        // A 5 KB file whose workbook stream claims 3.7 GB, every sector of it chained to one.
        {"xls", "regress-stream-longer-than-its-file.xls", "已损坏或无法读取"},
        // A workbook of the newer kind under the old name is read for what it is: a header alone.
        {"xls", "zip_named_xls.xls", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TestApp t;
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromUtf8(c.file));
        ASSERT_TRUE(
            copyInto(corpusFile(QString::fromUtf8(c.target), QString::fromUtf8(c.file)), path));
        LoadItemFile(t.app, path);
        if (c.refusal == nullptr) {
            EXPECT_LE(t.ui.messages.size(), 1u);
            continue;
        }
        if (*c.refusal == '\0') {
            EXPECT_TRUE(t.ui.messages.empty());
            EXPECT_EQ(t.form.编辑框_录音文本源路径->text(), path);
            continue;
        }
        ASSERT_EQ(t.ui.messages.size(), 1u);
        EXPECT_TRUE(t.ui.messages[0].text.contains(QString::fromUtf8(c.refusal)))
            << t.ui.messages[0].text.toStdString();
        EXPECT_EQ(t.form.列表框_录音文本列表->count(), 0);
        EXPECT_TRUE(t.form.编辑框_录音文本源路径->text().isEmpty());
    }
}

// A session file that cannot be read is said in one box, with its line; the folder still takes
// takes, without a session.
TEST(HostileFiles, SessionFilesThatCannotBeReadAreSaidWithTheirLine) {
    const struct {
        const char* file;
        const char* error;
    } cases[] = {
        {"deep_nesting_beyond_parser.json", "第 1 行："},
        {"non_utf8_invalid_bytes.json", "第 1 行："},
        {"wrong_type_after_many_lines.json", "行："},
        {"truncated.json", "行："},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TestApp t;
        QTemporaryDir dir;
        ASSERT_TRUE(copyInto(corpusFile(u"session"_s, QString::fromUtf8(c.file)),
                             dir.filePath(u"quillar-session.json"_s)));
        t.form.编辑框_保存路径->setText(dir.path());
        LoadFolderSession(t.app);
        EXPECT_FALSE(t.app.state.session.has_value());
        ASSERT_EQ(t.ui.messages.size(), 1u);
        EXPECT_TRUE(t.ui.messages[0].text.contains(QString::fromUtf8(c.error)))
            << t.ui.messages[0].text.toStdString();
    }
}

// What a crash left: each journal is brought back as a recording that plays, or kept for a
// person with the box saying so; never written out as a file no program opens.
TEST(HostileFiles, JournalsAreRecoveredOrKeptAndTheBoxSaysWhich) {
    const struct {
        const char* file;
        bool recovered;  // else kept in the state folder and listed as such
    } cases[] = {
        {"regress-rate-4ghz-header-no-takeinfo.bin", false},
        // The TakeInfo's rate is absurd, the journal's own header is not: it decides.
        {"info_absurd_rate.bin", true},
        {"info_empty_header_rate_huge.bin", false},
        {"info_negative_rate.bin", true},
        {"info_format_differs_from_header.bin", true},
        {"cut_mid_frame.bin", true},
    };
    const QByteArray stateWas = qgetenv("XDG_STATE_HOME");
    const QByteArray homeWas = qgetenv("HOME");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        QTemporaryDir home;
        qputenv("XDG_STATE_HOME", QFile::encodeName(home.filePath(u"state"_s)));
        qputenv("HOME", QFile::encodeName(home.path()));
        const QByteArray input = bytesOf(corpusFile(u"journal"_s, QString::fromUtf8(c.file)));
        ASSERT_GE(input.size(), 2);
        const int infoBytes = std::min<int>(std::uint8_t(input[0]) | (std::uint8_t(input[1]) << 8),
                                            int(input.size()) - 2);
        QDir().mkpath(JournalFolder());
        const QString journal = JournalFolder() + u"/take-20261210-101500-4242-1.wav"_s;
        QFile wav(journal);
        ASSERT_TRUE(wav.open(QIODevice::WriteOnly));
        wav.write(input.mid(2 + infoBytes));
        wav.close();
        QFile info(takeInfoPathOf(journal));
        ASSERT_TRUE(info.open(QIODevice::WriteOnly));
        info.write(input.mid(2, infoBytes));
        info.close();
        TestApp t;
        QTemporaryDir takes;
        t.form.编辑框_保存路径->setText(takes.path());
        RecoverUnfinishedTakes(t.app);
        ASSERT_EQ(t.ui.messages.size(), 1u);
        const QString text = t.ui.messages[0].text;
        EXPECT_EQ(text.contains(u"已经找回并保存"_s), c.recovered) << text.toStdString();
        EXPECT_EQ(text.contains(u"仍保留着"_s), !c.recovered) << text.toStdString();
        EXPECT_EQ(QFile::exists(journal), !c.recovered);
    }
    qputenv("XDG_STATE_HOME", stateWas);
    qputenv("HOME", homeWas);
}

}  // namespace
}  // namespace quillar::test
