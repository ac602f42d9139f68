#include "app/recording_options_file.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "items/text_encoding.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

struct OptionsCase {
    const char* name;
    QString section;  // the lines after "[录音选项]"
    RecordingOptions expected;
};

RecordingOptions with(int pre, int post, int channels, bool keep, const char* language = "auto") {
    RecordingOptions o;
    o.preroll_ms = pre;
    o.postroll_ms = post;
    o.channels = channels;
    o.keep_input = keep;
    o.language = QString::fromLatin1(language);
    return o;
}

RecordingOptions named(const QString& nameTemplate, bool ascii) {
    RecordingOptions o = with(300, 300, 2, true);
    o.name_template = nameTemplate;
    o.ascii_names = ascii;
    return o;
}

RecordingOptions annotated(bool on) {
    RecordingOptions o = with(300, 300, 2, true);
    o.annotations = on;
    return o;
}

RecordingOptions handsFree(bool on, int sensitivityDb, int silenceMs) {
    RecordingOptions o = with(300, 300, 2, true);
    o.hands_free = on;
    o.sensitivity_db = sensitivityDb;
    o.silence_ms = silenceMs;
    return o;
}

TEST(RecordingOptionsFile, EveryBrokenValueTakesItsDefaultAndNoneIsFatal) {
    const OptionsCase cases[] = {
        {"no section", u""_s, with(300, 300, 2, true)},
        {"all set", u"预录毫秒=0\n延录毫秒=2000\n声道=1\n保持输入=0\n界面语言=en\n"_s,
         with(0, 2000, 1, false, "en")},
        {"out of range", u"预录毫秒=2001\n延录毫秒=-1\n声道=3\n保持输入=2\n"_s,
         with(300, 300, 2, true)},
        {"not numbers", u"预录毫秒=abc\n延录毫秒=1.5\n声道=\n保持输入=yes\n界面语言=fr\n"_s,
         with(300, 300, 2, true)},
        {"blanks and case", u"预录毫秒 =  500 \n界面语言=ZH\n"_s, with(500, 300, 2, true, "zh")},
        {"survey names", u"文件名模板= {speaker}/{list}/{id}{item} \n文件名仅ASCII=1\n"_s,
         named(u"{speaker}/{list}/{id}{item}"_s, true)},
        {"ascii not a flag", u"文件名模板={id:4}\n文件名仅ASCII=yes\n"_s,
         named(u"{id:4}"_s, false)},
        {"annotated", u"标注文件=1\n"_s, annotated(true)},
        {"annotations off", u"标注文件=0\n"_s, annotated(false)},
        {"annotations not a flag", u"标注文件=2\n"_s, annotated(false)},
        {"annotations a word", u"标注文件=是\n"_s, annotated(false)},
        {"hands-free", u"自动录音=1\n自动灵敏度分贝=20\n自动静音毫秒=1500\n"_s,
         handsFree(true, 20, 1500)},
        {"hands-free at the ends of the ranges", u"自动灵敏度分贝=3\n自动静音毫秒=5000\n"_s,
         handsFree(false, 3, 5000)},
        {"hands-free out of range", u"自动录音=2\n自动灵敏度分贝=2\n自动静音毫秒=5001\n"_s,
         handsFree(false, 12, 800)},
        {"hands-free not numbers", u"自动录音=on\n自动灵敏度分贝=-\n自动静音毫秒=0.8\n"_s,
         handsFree(false, 12, 800)},
    };
    for (const OptionsCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"sys.ini"_s);
        if (!c.section.isEmpty()) {
            QFile f(ini);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(EncodeGb18030(u"[录音选项]\n"_s + c.section));
        }
        EXPECT_EQ(ReadRecordingOptions(ini), c.expected);
    }
}

TEST(RecordingOptionsFile, WhatIsWrittenReadsBackAndOtherSectionsStay) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"sys.ini"_s);
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[other]\r\nkey=value\r\n");
    }
    RecordingOptions chosen = with(1200, 0, 1, false, "zh");
    chosen.name_template = u"{speaker}/{list}/{id}{item}"_s;
    chosen.ascii_names = true;
    chosen.annotations = true;
    chosen.hands_free = true;
    chosen.sensitivity_db = 18;
    chosen.silence_ms = 600;
    ASSERT_TRUE(WriteRecordingOptions(ini, chosen));
    EXPECT_EQ(ReadRecordingOptions(ini), chosen);
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("[other]\r\nkey=value\r\n"));
}

TEST(RecordingOptions, PrerollNeedsTheInputKeptOpen) {
    EXPECT_EQ(with(300, 0, 2, true).effectivePrerollMs(), 300);
    EXPECT_EQ(with(300, 0, 2, false).effectivePrerollMs(), 0);
}

}  // namespace
}  // namespace quillar::test
